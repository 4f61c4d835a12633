# tools/assetgen/prng.py: a small fixed random generator, so every run draws the same assets
# whatever the Python version.


class Prng:
    def __init__(self, seed):
        self.state = (seed * 2654435761 + 1) & 0xFFFFFFFF or 1

    def next_u32(self):
        # xorshift32
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return self.next_u32() % n

    def unit(self):
        """A float in [0, 1)."""
        return self.next_u32() / 4294967296.0

    def signed(self):
        """A float in [-1, 1)."""
        return self.unit() * 2.0 - 1.0
