// Runs the npm receipt printer encoder on a 24-bit BMP: image() at a given width with a dither
// algorithm, then takes the dots back out of its GS v 0 raster output and writes them as a PBM.
//   node npm_encode.mjs IN.bmp WIDTH ALGORITHM OUT.pbm
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, 'node_modules', 'x.js'));
const ReceiptPrinterEncoder = require('@point-of-sale/receipt-printer-encoder');

const [input, widthText, algorithm, output] = process.argv.slice(2);
const bmp = readFileSync(input);
const offset = bmp.readUInt32LE(10);
const w = bmp.readInt32LE(18), h = bmp.readInt32LE(22), bpp = bmp.readUInt16LE(28);
if (bpp !== 24 || h <= 0) throw new Error('24-bit bottom-up BMP expected');
const stride = Math.ceil((24 * w) / 32) * 4;
const rgba = new Uint8ClampedArray(w * h * 4);
for (let y = 0; y < h; y++) {
  const row = offset + (h - 1 - y) * stride;
  for (let x = 0; x < w; x++) {
    const o = (y * w + x) * 4;
    rgba[o] = bmp[row + 3 * x + 2];
    rgba[o + 1] = bmp[row + 3 * x + 1];
    rgba[o + 2] = bmp[row + 3 * x];
    rgba[o + 3] = 255;
  }
}
const width = Number(widthText);
const height = Math.max(1, Math.round((width * h) / w));
const encoder = new (ReceiptPrinterEncoder.default || ReceiptPrinterEncoder)({
  language: 'esc-pos',
  imageMode: 'raster',
  columns: Math.ceil(width / 12),
});
const bytes = encoder.image({ data: rgba, width: w, height: h }, width, height, algorithm).encode();

// Collect the rows of every GS v 0 block.
const rows = [];
let rowBytes = 0;
for (let i = 0; i + 8 <= bytes.length; ) {
  if (bytes[i] === 0x1d && bytes[i + 1] === 0x76 && bytes[i + 2] === 0x30) {
    const xb = bytes[i + 4] | (bytes[i + 5] << 8), yn = bytes[i + 6] | (bytes[i + 7] << 8);
    rowBytes = xb;
    for (let r = 0; r < yn; r++) rows.push(bytes.subarray(i + 8 + r * xb, i + 8 + (r + 1) * xb));
    i += 8 + xb * yn;
  } else {
    i++;
  }
}
const outStride = Math.ceil(width / 8);
const pbm = [Buffer.from(`P4\n${width} ${height}\n`)];
for (let y = 0; y < height; y++) pbm.push(Buffer.from(rows[y].subarray(0, outStride)));
writeFileSync(output, Buffer.concat(pbm));
