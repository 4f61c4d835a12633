# tools/assetgen/music.py: composes the intro's tune and builds its XM module.
#
# A chiptune in A minor at 127 BPM, tempo 5: four channels (drums, bass, chords/echo, lead),
# eight instruments made of single-cycle waveforms and three short drum hits, nineteen
# patterns of four bars. The song plays 31 orders and starts again from the top; pattern 18
# is a spare break that the order table never reaches.
import math

import names
import xm
from prng import Prng

TEMPO = 5
BPM = 127
CHANNELS = 4
ORDERS = [0, 1, 2, 3, 4, 5, 1, 6, 7, 8, 7, 8, 9, 9, 10, 10, 11, 12, 13, 14, 14, 15, 15, 11,
          14, 14, 15, 15, 16, 16, 17]
BAR = 16                                   # rows per bar; a pattern holds four bars

DRUMS, BASS, CHORDS, LEAD = range(4)
# Instrument numbers (1-based, as the pattern data writes them).
I_BASS, I_LEAD, I_ARP, I_PAD, I_KICK, I_SNARE, I_HAT, I_BELL = range(1, 9)


# ---------------------------------------------------------------------------------------------
# Samples
# ---------------------------------------------------------------------------------------------

def _additive(length, partials, peak):
    """One cycle of 'length' samples summing (harmonic, amplitude) 'partials', scaled so its
    largest magnitude is 'peak'."""
    wave = [sum(a * math.sin(2 * math.pi * h * i / length) for h, a in partials)
            for i in range(length)]
    top = max(abs(v) for v in wave)
    return [round(v * peak / top) for v in wave]


def bass_wave():      # a dark sawtooth
    return _additive(64, [(h, 1.0 / h * (0.92 ** h)) for h in range(1, 13)], 120)


def lead_wave():      # a 25 % pulse, band-limited
    return _additive(64, [(h, math.sin(math.pi * h * 0.25) / h) for h in range(1, 15)], 118)


def arp_wave():       # a square, band-limited
    return _additive(64, [(h, 1.0 / h) for h in range(1, 16, 2)], 116)


def pad_wave():       # a soft organ-like cycle
    return _additive(256, [(1, 1.0), (2, 0.5), (3, 0.35), (4, 0.2), (6, 0.12), (8, 0.06)], 118)


def bell_wave():      # a hollow triangle-like cycle
    return _additive(256, [(1, 1.0), (3, 0.33), (5, 0.14), (7, 0.05), (2, 0.1)], 118)


def kick_hit(length=1092, rate=8363):
    out = []
    phase = 0.0
    for i in range(length):
        t = i / rate
        freq = 48 + 130 * math.exp(-t * 32)
        phase += 2 * math.pi * freq / rate
        env = math.exp(-t * 13) * min(1.0, i / 6)
        click = 0.35 * math.exp(-t * 300)
        out.append(max(-127, min(127, round(127 * (math.sin(phase) * env + click)))))
    out[-24:] = [round(v * (23 - k) / 24) for k, v in enumerate(out[-24:])]
    return out


def snare_hit(length=2582, rate=16726):
    rng = Prng(7)
    out = []
    phase = 0.0
    low = 0.0
    for i in range(length):
        t = i / rate
        phase += 2 * math.pi * (185 + 60 * math.exp(-t * 40)) / rate
        noise = rng.signed()
        low += 0.55 * (noise - low)             # soften the noise a little
        tone = math.sin(phase) * math.exp(-t * 30)
        rattle = low * math.exp(-t * 17)
        out.append(max(-127, min(127, round(120 * (0.55 * tone + 0.75 * rattle)))))
    out[-32:] = [round(v * (31 - k) / 32) for k, v in enumerate(out[-32:])]
    return out


def hat_hit(length=352):
    rng = Prng(11)
    out = []
    previous = 0.0
    for i in range(length):
        noise = rng.signed()
        high = noise - previous                 # keep the hiss, drop the rumble
        previous = noise
        env = math.exp(-i / 90)
        out.append(max(-127, min(127, round(70 * high * env))))
    out[-8:] = [round(v * (7 - k) / 8) for k, v in enumerate(out[-8:])]
    return out


def instruments():
    # Relative notes make the written note sound at its concert pitch: a 64-sample cycle needs
    # twice the base rate (+12), a 256-sample cycle eight times (+36).
    return [
        xm.Instrument([xm.Sample(bass_wave(), loop=True, volume=64, relative_note=12)],
                      envelope=[(0, 64), (5, 50), (30, 38), (80, 30)], sustain=None,
                      fadeout=0x800),
        xm.Instrument([xm.Sample(lead_wave(), loop=True, volume=60, panning=104,
                                 relative_note=12)],
                      envelope=[(0, 34), (2, 64), (14, 50), (40, 44)], sustain=3,
                      fadeout=0x500, vibrato=(0, 30, 5, 22)),
        xm.Instrument([xm.Sample(arp_wave(), loop=True, volume=48, panning=168,
                                 relative_note=12)],
                      envelope=[(0, 64), (8, 40), (28, 22), (90, 10)], fadeout=0x400),
        xm.Instrument([xm.Sample(pad_wave(), loop=True, volume=56, panning=150,
                                 relative_note=36)],
                      envelope=[(0, 0), (16, 50), (40, 44), (120, 34)], sustain=3,
                      fadeout=0x180, vibrato=(0, 60, 3, 14)),
        xm.Instrument([xm.Sample(kick_hit(), volume=64, relative_note=0)]),
        xm.Instrument([xm.Sample(snare_hit(), volume=64, panning=136, relative_note=12)]),
        xm.Instrument([xm.Sample(hat_hit(), volume=64, panning=96, relative_note=12)]),
        xm.Instrument([xm.Sample(bell_wave(), loop=True, volume=56, panning=172,
                                 relative_note=36)],
                      envelope=[(0, 64), (6, 40), (30, 20), (100, 6)], fadeout=0x300),
    ]


# ---------------------------------------------------------------------------------------------
# Harmony
# ---------------------------------------------------------------------------------------------

_PITCH = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9,
          "A#": 10, "B": 11}


def chord(name):
    """'Am' -> (root pitch class, arpeggio parameter): minor 0x37, major 0x47."""
    if name.endswith("m"):
        return _PITCH[name[:-1]], 0x37
    return _PITCH[name], 0x47


def pitch_note(pitch_class, octave):
    return octave * 12 + pitch_class + 1


MIX = 0.72   # scales every written volume: leaves about 3 dB of headroom at the loudest hits


def vol(v):
    """The volume column's 'set volume' value for a level 0..64, scaled by MIX."""
    return 0x10 + max(0, min(64, round(v * MIX)))


# ---------------------------------------------------------------------------------------------
# Pattern building
# ---------------------------------------------------------------------------------------------

class Pattern:
    def __init__(self):
        self.rows = [[[0, 0, 0, 0, 0] for _ in range(CHANNELS)] for _ in range(xm.ROWS)]

    def put(self, row, channel, note=0, instrument=0, volume=0, effect=0, param=0):
        cell = self.rows[row][channel]
        if note:
            cell[0], cell[1] = note, instrument
        if volume:
            cell[2] = volume
        if effect or param:
            cell[3], cell[4] = effect, param

    def cells(self):
        return [[tuple(c) for c in row] for row in self.rows]


_DRUM_HITS = {   # letter -> (instrument, note, volume)
    "K": (I_KICK, "C-4", 64), "k": (I_KICK, "C-4", 40),
    "S": (I_SNARE, "C-4", 52), "s": (I_SNARE, "C-4", 22), "T": (I_SNARE, "G-3", 48),
    "H": (I_HAT, "C-4", 40), "h": (I_HAT, "C-4", 26), "o": (I_HAT, "G-3", 34),
}

BEAT = "K.h.S.h.K.hKS.h."
BEAT2 = "K.h.S.hkK.hKS.hs"
FILL = "K.h.S.hkS.sSTsSS"
ROLL = "RRRRRRRRRRRRRRRR"
FOUR = "K...K...K...K..."
EIGHT = "K.h.K.h.K.h.K.h."
HATS = "h.h.h.h.h.h.h.h."
SOFT = "h...h...h...h..."
BREAK = "k...h...h.h.h..."


def drums(p, bars):
    for b, line in enumerate(bars):
        for i, ch in enumerate(line):
            row = b * BAR + i
            if ch == "R":                       # a snare roll that swells over the bar
                p.put(row, DRUMS, xm.note_number("C-4"), I_SNARE, vol(14 + 3 * i))
            elif ch != ".":
                ins, note, v = _DRUM_HITS[ch]
                p.put(row, DRUMS, xm.note_number(note), ins, vol(v))


def bass(p, chords, style, level=48):
    for b, name in enumerate(chords):
        root, _ = chord(name)
        base = b * BAR
        if style == "drive":        # octave-jumping eighths
            for k in range(8):
                p.put(base + 2 * k, BASS, pitch_note(root, 2 + k % 2), I_BASS,
                      vol(level if k % 2 == 0 else level - 10))
        elif style == "pump":       # root eighths with an octave and a fifth for lift
            steps = [0, 0, 12, 0, 7, 0, 12, 7]
            for k, s in enumerate(steps):
                p.put(base + 2 * k, BASS, pitch_note(root, 2) + s, I_BASS,
                      vol(level if k % 2 == 0 else level - 8))
        elif style == "long":       # one note on each half bar
            p.put(base, BASS, pitch_note(root, 2), I_BASS, vol(level))
            p.put(base + 8, BASS, pitch_note(root, 2), I_BASS, vol(level - 12))
            p.put(base + 14, BASS, pitch_note(root, 3), I_BASS, vol(level - 18))
        elif style == "walk":       # quarter notes up the chord
            for k, s in enumerate([0, 7, 12, 7]):
                p.put(base + 4 * k, BASS, pitch_note(root, 2) + s, I_BASS, vol(level))


def chords_arp(p, chords, every, level=34, instrument=I_ARP, swell=False, octave=4):
    """Chord arpeggios on the chord channel: the root struck every 'every' rows, the arpeggio
    effect written on every row so it keeps cycling between strikes."""
    for b, name in enumerate(chords):
        root, arp = chord(name)
        for i in range(BAR):
            row = b * BAR + i
            v = level
            if swell:
                v = 10 + (level - 10) * row // (4 * BAR - 1)
            if i % every == 0:
                p.put(row, CHORDS, pitch_note(root, octave), instrument, vol(v), 0x0, arp)
            else:
                p.put(row, CHORDS, effect=0x0, param=arp)


def melody(p, channel, line, instrument, level, delay=0, transpose=0, vibrato=True):
    """Writes 'line' (eighth-note tokens: a note name, '-' to hold, '.' to release, '_' to
    rest, '~' before a note to glide into it; '|' between bars is ignored) starting 'delay'
    rows late."""
    tokens = [t for t in line.split() if t != "|"]
    assert len(tokens) == 32, (len(tokens), line)
    held = 0
    for k, t in enumerate(tokens):
        row = 2 * k + delay
        if row >= xm.ROWS:
            break
        if t == "-":
            held += 1
            if vibrato and held >= 3:
                p.put(row, channel, effect=0x4, param=0x00)   # keep the vibrato going
            continue
        held = 0
        if t == ".":
            p.put(row, channel, xm.NOTE_OFF, 0)
        elif t.startswith("~"):                     # glide into the note from the last one
            p.put(row, channel, xm.note_number(t[1:]) + transpose, instrument, vol(level),
                  0x3, 0x18)
        elif t != "_":
            p.put(row, channel, xm.note_number(t) + transpose, instrument, vol(level))
    return tokens


def lead_vibrato(p, channel):
    """Sets the vibrato speed and depth once at the first held row so later '400' effects
    reuse it."""
    for row in range(xm.ROWS):
        cell = p.rows[row][channel]
        if cell[3] == 0x4:
            cell[4] = 0x63
            return


# ---------------------------------------------------------------------------------------------
# The song
# ---------------------------------------------------------------------------------------------

A = ["Am", "F", "C", "G"]
A2 = ["Am", "F", "G", "E"]
B1 = ["Dm", "Am", "E", "Am"]
B2 = ["F", "G", "Em", "Am"]
H1 = ["F", "G", "Am", "Am"]
H2 = ["F", "G", "E", "Am"]

LINES = {
    "a1": "E5 - A5 - C6 - B5 A5 | C6 - - A5 - - F5 - | G5 - - E5 - - C5 D5 | E5 - D5 - B4 - G4 -",
    "a2": "A5 - - G5 - - E5 - | F5 - - E5 - - C5 - | D5 - - E5 - - G5 - | G#5 - - - B5 - E5 -",
    "a3": "A5 - C6 - E6 - D6 C6 | F6 - - E6 - - C6 - | E6 - - D6 - - C6 D6 | B5 - - - G5 - D6 -",
    "a4": "C6 - - B5 - - A5 - | A5 - - G5 - - F5 - | G5 - F5 - E5 - D5 - | E5 - - - . _ _ _",
    "tr": "D5 - - - - - - - | F5 - - - - - - - | E5 - - - G#5 - - - | B5 - - - - - . _",
    "b1": "D5 D5 F5 - A5 - F5 D5 | E5 - C5 - A4 - C5 E5 | G#5 - B5 - E6 - D6 B5 | C6 - - - A5 - . _",
    "b2": "C6 - A5 - F5 - A5 C6 | D6 - B5 - G5 - B5 D6 | E6 - - D6 - - B5 G5 | A5 - - - - - . _",
    "br": "E5 - - - A4 - B4 - | C5 - - - - - - - | D5 - - - B4 - G4 - | G#4 - - - - - - -",
    "up": "F5 . F5 . A5 . A5 . | G5 . G5 . B5 . B5 . | A5 . C6 . E6 . C6 . | B5 . G#5 . E5 . B5 .",
    "c0": "A5 - - - ~E6 - - - | F6 - - - C6 - - - | E6 - - - ~G6 - - - | D6 - - - B5 - - -",
    "c1": "E6 - D6 C6 - B5 A5 - | C6 - - A5 - F5 - - | G5 - C6 - E6 - G6 - | F6 - E6 - D6 - B5 -",
    "c2": "A5 - C6 - E6 - A6 - | G6 - F6 - E6 - C6 - | D6 - E6 - F6 - G6 - | G#6 - - - E6 - B5 -",
    "h1": "A5 - C6 - - A5 C6 ~D6 | D6 - B5 - - G5 B5 ~D6 | E6 - - D6 C6 - B5 - | A5 - - - E5 - A5 B5",
    "h2": "C6 - A5 - - C6 D6 ~E6 | D6 - B5 - - D6 E6 ~F6 | ~E6 - - - G#5 - B5 - | A5 - - - - - . _",
    "ou": "E5 - - - A5 - - - | C6 - - - A5 - - - | G5 - - - E5 - - - | D5 - - - B4 - - -",
    "en": "A5 - - - - - - - | C6 - - - A5 - - - | B5 - - - - - - - | G#5 - - - - - . _",
    "sp": "C5 - - - E5 - - - | F5 - - - A5 - - - | G5 - - - B5 - - - | B5 - - - - - - -",
}


def compose():
    """Returns the 19 patterns as rows of cells."""
    pats = [Pattern() for _ in range(19)]

    def lead(p, key, level=40, instrument=I_LEAD, transpose=0):
        melody(p, LEAD, LINES[key], instrument, level, transpose=transpose)
        lead_vibrato(p, LEAD)

    def echo(p, key, level=20, transpose=0):
        melody(p, CHORDS, LINES[key], I_BELL, level, delay=3, transpose=transpose,
               vibrato=False)

    # 0: intro, chords swelling in over soft hats
    p = pats[0]
    drums(p, [SOFT, SOFT, SOFT, "h.h.h.h.h.h.s.ss"])
    chords_arp(p, A, 4, level=40, swell=True)
    bass(p, ["Am", "F", "C", "G"], "long", level=30)
    # 1: the beat arrives, bass walks, the bell hints at the tune
    p = pats[1]
    drums(p, [FOUR, FOUR, FOUR, "K...K...K.S.SSSS"])
    bass(p, A, "walk", level=44)
    chords_arp(p, A, 4, level=34)
    melody(p, LEAD, LINES["ou"], I_BELL, 26, vibrato=False)
    # 2-5: first theme, twice, the second time higher with an echo instead of chords
    p = pats[2]
    drums(p, [BEAT, BEAT, BEAT, BEAT2])
    bass(p, A, "drive")
    chords_arp(p, A, 4)
    lead(p, "a1")
    p = pats[3]
    drums(p, [BEAT, BEAT, BEAT, FILL])
    bass(p, A2, "drive")
    chords_arp(p, A2, 4)
    lead(p, "a2")
    p = pats[4]
    drums(p, [BEAT2, BEAT, BEAT2, BEAT])
    bass(p, A, "pump")
    echo(p, "a3", level=18)
    lead(p, "a3", level=36)
    p = pats[5]
    drums(p, [BEAT2, BEAT, BEAT2, FILL])
    bass(p, A2, "pump")
    chords_arp(p, A2, 2, level=30)
    lead(p, "a4")
    # 6: a held transition that builds into the second theme
    p = pats[6]
    drums(p, [FOUR, FOUR, EIGHT, ROLL])
    bass(p, ["Dm", "F", "E", "E"], "long", level=46)
    chords_arp(p, ["Dm", "F", "E", "E"], 2, level=30)
    lead(p, "tr", level=42)
    # 7, 8: second theme, busier bass and eighth-note chords
    p = pats[7]
    drums(p, [BEAT, BEAT2, BEAT, BEAT2])
    bass(p, B1, "pump")
    chords_arp(p, B1, 2, level=28)
    lead(p, "b1")
    p = pats[8]
    drums(p, [BEAT, BEAT2, BEAT, FILL])
    bass(p, B2, "pump")
    chords_arp(p, B2, 2, level=28)
    lead(p, "b2")
    # 9: the break: pad chords, slow lead, hats only
    p = pats[9]
    drums(p, [BREAK, BREAK, BREAK, "k...h...h.h.s.ss"])
    bass(p, A2, "long", level=40)
    chords_arp(p, A2, 16, level=40, instrument=I_PAD, octave=3)
    lead(p, "br", level=38)
    # 10: the build: four on the floor into a roll
    p = pats[10]
    drums(p, [FOUR, FOUR, EIGHT, ROLL])
    bass(p, ["F", "G", "Am", "E"], "pump")
    chords_arp(p, ["F", "G", "Am", "E"], 2, level=26)
    lead(p, "up", level=40)
    # 11-13: the chorus
    p = pats[11]
    drums(p, [BEAT2, BEAT2, BEAT2, FILL])
    bass(p, A, "drive")
    echo(p, "c0", level=22)
    lead(p, "c0", level=40)
    p = pats[12]
    drums(p, [BEAT, BEAT2, BEAT, BEAT2])
    bass(p, A, "drive")
    echo(p, "c1")
    lead(p, "c1", level=38)
    p = pats[13]
    drums(p, [BEAT, BEAT2, BEAT, FILL])
    bass(p, A2, "drive")
    chords_arp(p, A2, 2, level=28)
    lead(p, "c2", level=38)
    # 14, 15: the hook
    p = pats[14]
    drums(p, [BEAT2, BEAT2, BEAT2, BEAT2])
    bass(p, H1, "pump")
    chords_arp(p, H1, 2, level=28)
    lead(p, "h1", level=40)
    p = pats[15]
    drums(p, [BEAT2, BEAT2, BEAT2, FILL])
    bass(p, H2, "pump")
    echo(p, "h2", level=20)
    lead(p, "h2", level=40)
    # 16: outro: the bell sings the theme over chords
    p = pats[16]
    drums(p, [EIGHT, EIGHT, EIGHT, "K.h.K.h.K.h.s.ss"])
    bass(p, A, "walk", level=42)
    chords_arp(p, A, 4, level=30)
    melody(p, LEAD, LINES["ou"], I_BELL, 34, vibrato=False)
    # 17: the ending, falling back to the intro
    p = pats[17]
    drums(p, [BEAT, FOUR, SOFT, "h.h.h.h.h.s.s.ss"])
    bass(p, A2, "long", level=40)
    chords_arp(p, A2, 4, level=30)
    lead(p, "en", level=36)
    # The song loops by itself: a position jump back to order 0 on the last row. The music
    # library's own repeat setting has no effect, so without the jump the music would stop
    # after the last order.
    p.put(xm.ROWS - 1, DRUMS, effect=0xB, param=0)
    # 18: a spare break, stored but not in the order table
    p = pats[18]
    drums(p, [BREAK, BREAK, BREAK, BREAK])
    bass(p, A2, "long", level=40)
    chords_arp(p, A2, 16, level=40, instrument=I_PAD, octave=3)
    lead(p, "sp", level=36)
    return [p.cells() for p in pats]


def module():
    return xm.module_bytes(" " * 20, names.EDITOR, ORDERS, compose(), instruments(), CHANNELS,
                           TEMPO, BPM)
