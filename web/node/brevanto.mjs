// The `brevanto` package: the engine of the browser extension, in Node.
//
//   import { extract, fileName } from 'brevanto';
//   const page = await extract(bodyMarkup, { url, title, analysis: 'modern', format: 'lf' });
//   page.text    // the main text
//   page.file    // the text file: the header with URL and title, then the text
//   page.bytes   // the file's bytes, as brevanto-extract writes them
//
// `bodyMarkup` is the page body's outer markup (a string, or bytes taken as
// they are), as brevanto-extract --markup reads it.
import { readFile } from 'node:fs/promises';

import { DEFAULT_ANALYSIS, DEFAULT_FORMAT, defaultFormatOf, Engine, PageText } from '../engine/engine.mjs';

export { DEFAULT_ANALYSIS, DEFAULT_FORMAT, defaultFormatOf, PageText };

// Where the build puts the compiled engine (web/dist).
const built = new URL('../dist/', import.meta.url);

let engine = null; // a promise of the one Engine, made on first use

function theEngine() {
  engine ??= (async () => {
    const { default: createEngine } = await import(new URL('brevanto-engine.mjs', built).href);
    return Engine.create(createEngine, await readFile(new URL('brevanto-engine.wasm', built)));
  })().catch((error) => {
    engine = null;
    throw new Error(`the Brevanto engine could not be loaded from ${built.pathname}; build it first: ${error.message}`);
  });
  return engine;
}

// A call that traps (memory ran out) leaves the module unusable: the next call
// starts a fresh one.
async function withEngine(use) {
  const current = await theEngine();
  try {
    return use(current);
  } catch (error) {
    if (error instanceof WebAssembly.RuntimeError) engine = null;
    throw error;
  }
}

// The text file of the page whose body markup is `html`.
export function extract(html, { url = '', title = '', analysis = DEFAULT_ANALYSIS, format = defaultFormatOf(analysis) } = {}) {
  return withEngine((e) => e.extract(html, { url, title, analysis, format }));
}

// The lower-case names of the elements before whose start tags a serializer
// of a body breaks lines for `analysis`, as brevanto-extract's loader does.
export function blockElements(analysis = DEFAULT_ANALYSIS) {
  return withEngine((e) => e.blockElements(analysis));
}

// The name of the text file of a page, from its title, else its address, as
// brevanto-extract names it; `room` keeps that many bytes of the longest file
// name free (for a suffix the caller adds).
export function fileName(title, url = '', { room = 0 } = {}) {
  return withEngine((e) => e.fileName(title, url, { room }));
}
