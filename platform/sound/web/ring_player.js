// platform/sound/web/ring_player.js: the AudioWorklet half of the web sound output
// (backend_web.cpp). It plays interleaved stereo 16-bit frames from a ring in the program's
// shared memory and moves the ring's read counter on; the program's pump thread fills it.
//
// Header (four 32-bit words at "header"): read, write, underrun, stop. Counters are frame
// counts that wrap at 2^32; "frames" is the ring's first sample.
class RingPlayer extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const o = options.processorOptions;
    this.memory = o.memory;
    this.header = o.header >> 2;
    this.frames = o.frames;
    this.ringFrames = o.ringFrames;
    // The node runs before its connection to the destination carries sound: frames taken
    // from the ring then would never be heard, so the first ones wait.
    this.waitFrames = o.startDelay;
    this.stopped = false;
    this.played = 0;
    this.reported = 0;
    this.buffer = null;
    this.port.onmessage = (e) => { if (e.data === 'stop') this.stopped = true; };
  }

  // Views on the memory; a grown memory has a new buffer.
  views() {
    if (this.buffer !== this.memory.buffer) {
      this.buffer = this.memory.buffer;
      this.words = new Uint32Array(this.buffer);
      this.samples = new Int16Array(this.buffer, this.frames, this.ringFrames * 2);
    }
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0];
    const right = out.length > 1 ? out[1] : out[0];
    const n = left.length;
    if (this.stopped) return false;
    if (this.waitFrames > 0) {
      this.waitFrames -= n;
      return true;  // outputs are silent already
    }
    this.views();
    const h = this.header;
    if (Atomics.load(this.words, h + 3) !== 0) return true;
    const read = Atomics.load(this.words, h);
    const queued = (Atomics.load(this.words, h + 1) - read) >>> 0;
    const m = Math.min(n, queued);
    const ring = this.ringFrames;
    const s = this.samples;
    for (let i = 0; i < m; ++i) {
      const k = ((read + i) % ring) * 2;
      left[i] = s[k] / 32768;
      right[i] = s[k + 1] / 32768;
    }
    Atomics.store(this.words, h, (read + m) >>> 0);
    if (m < n) Atomics.add(this.words, h + 2, n - m);
    this.played += m;
    if (this.played - this.reported >= 22050) {
      this.reported = this.played;
      this.port.postMessage({played: this.played, underrun: Atomics.load(this.words, h + 2)});
    }
    return true;
  }
}

registerProcessor('intro-ring-player', RingPlayer);
