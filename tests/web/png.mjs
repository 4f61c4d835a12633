// tests/web/png.mjs: decodes the 8-bit RGB/RGBA, non-interlaced PNG files that the browser's
// screenshots are, into a picture with pixel access.
import { inflateSync } from 'node:zlib';

export class Picture {
  constructor(width, height, rgb) { this.w = width; this.h = height; this.rgb = rgb; }
  at(x, y) {
    const i = (y * this.w + x) * 3;
    return [this.rgb[i], this.rgb[i + 1], this.rgb[i + 2]];
  }
  count(x0, y0, x1, y1, pred) {
    let n = 0;
    for (let y = y0; y < y1; ++y) for (let x = x0; x < x1; ++x) if (pred(this.at(x, y))) ++n;
    return n;
  }
  equals(other) { return this.w === other.w && this.h === other.h && this.rgb.equals(other.rgb); }
}

export function decodePng(file) {
  if (file.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG file');
  let at = 8, width = 0, height = 0, channels = 0;
  const data = [];
  while (at < file.length) {
    const length = file.readUInt32BE(at);
    const type = file.toString('latin1', at + 4, at + 8);
    const body = file.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      const depth = body[8], colour = body[9], interlace = body[12];
      if (depth !== 8 || (colour !== 2 && colour !== 6) || interlace !== 0)
        throw new Error(`unsupported PNG layout (depth ${depth}, colour ${colour})`);
      channels = colour === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const row = rows.subarray(y * stride, (y + 1) * stride);
    const up = y > 0 ? rows.subarray((y - 1) * stride, y * stride) : Buffer.alloc(stride);
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? row[i - channels] : 0, b = up[i];
      const c = i >= channels ? up[i - channels] : 0;
      let p;
      switch (filter) {
        case 0: p = 0; break;
        case 1: p = a; break;
        case 2: p = b; break;
        case 3: p = (a + b) >> 1; break;
        case 4: {
          const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
          p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          break;
        }
        default: throw new Error(`bad PNG filter ${filter}`);
      }
      row[i] = (src[i] + p) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0, j = 0; i < rows.length; i += channels, j += 3) {
    rgb[j] = rows[i]; rgb[j + 1] = rows[i + 1]; rgb[j + 2] = rows[i + 2];
  }
  return new Picture(width, height, rgb);
}
