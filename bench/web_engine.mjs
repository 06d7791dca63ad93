// The analysis in WebAssembly, through the brevanto Node package, over the
// body of every corpus page: MB/s as engine_bench corpus measures the native
// one (the same bodies, the whole analysis up to the text file's bytes).
//   node bench/web_engine.mjs [--modern] DIR [ROUNDS]
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';

import { extract } from '../web/node/brevanto.mjs';

const args = process.argv.slice(2);
const analysis = args[0] === '--modern' ? (args.shift(), 'modern') : 'classic';
const [dir, rounds = '10'] = args;

// The body element, as engine_bench takes it.
function bodyOf(page) {
  const lower = page.toString('latin1').toLowerCase();
  const start = lower.indexOf('<body');
  const end = lower.lastIndexOf('</body>');
  return start < 0 || end < start ? page : page.subarray(start, end + 7);
}

const bodies = readdirSync(dir)
  .filter((name) => name.endsWith('.html'))
  .map((name) => bodyOf(readFileSync(path.join(dir, name))));
if (bodies.length === 0) {
  console.error(`web_engine: no .html pages in ${dir}`);
  process.exit(1);
}
const total = bodies.reduce((sum, body) => sum + body.length, 0);
let text = 0;
for (const body of bodies) text += (await extract(body, { analysis })).bytes.length; // warm-up
const start = process.hrtime.bigint();
for (let round = 0; round < Number(rounds); ++round) {
  for (const body of bodies) text += (await extract(body, { analysis })).bytes.length;
}
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
const mb = (total * Number(rounds)) / 1e6;
console.log(
  `corpus: ${bodies.length} pages, ${(total / 1e6).toFixed(2)} MB of body markup, ${rounds} rounds: ` +
    `${(mb / seconds).toFixed(1)} MB/s (${((seconds * 1e3) / (bodies.length * Number(rounds))).toFixed(2)} ms per page)`,
);
process.exit(text > 0 ? 0 : 1);
