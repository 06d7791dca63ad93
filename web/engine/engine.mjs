// The WebAssembly engine in JavaScript terms, shared by the extension and the
// Node package: the analysis of a body's markup into a text file, the file's
// name, and the element names a serializer breaks lines before.

// The analyses and the text file formats by name, as the C interface numbers
// them. The defaults are brevanto-extract's.
const ANALYSES = Object.freeze({ classic: 0, modern: 1 });
const FORMATS = Object.freeze({ windows: 0, lf: 1 });
export const DEFAULT_ANALYSIS = 'modern';
export const DEFAULT_FORMAT = 'lf';
// The classic analysis writes the Windows server's bytes, whatever the
// default of the other.
export function defaultFormatOf(analysis) {
  return analysis === 'classic' ? 'windows' : DEFAULT_FORMAT;
}

const encoder = new TextEncoder();
const decoder = new TextDecoder();

function numberOf(names, what, name) {
  if (!Object.hasOwn(names, name)) {
    throw new RangeError(`unknown ${what} "${name}": choose ${Object.keys(names).join(' or ')}`);
  }
  return names[name];
}

const NO_BYTES = new Uint8Array(0);

function bytesOf(value) {
  if (value instanceof Uint8Array) return value;
  if (value === '') return NO_BYTES;
  if (typeof value === 'string') return encoder.encode(value);
  throw new TypeError('expected a string or a Uint8Array');
}

// A text file as the engine made it. Its bytes are what is saved; the text
// views are decoded as UTF-8 when asked for.
export class PageText {
  constructor(bytes, headerLength, markupCut) {
    this.bytes = bytes;
    this.headerLength = headerLength;
    // The markup was longer than the analysis reads: only its start was read.
    this.markupCut = markupCut;
  }

  // The whole file: the header with the URL and title, then the main text.
  get file() {
    return decoder.decode(this.bytes);
  }

  // The main text alone.
  get text() {
    return decoder.decode(this.bytes.subarray(this.headerLength));
  }

  // Whether anything but blanks and line breaks follows the header.
  get hasText() {
    return this.bytes.subarray(this.headerLength).some((b) => b !== 0x20 && b !== 0x09 && b !== 0x0d && b !== 0x0a);
  }
}

// What stands for a page without a usable title: its address' last path
// segment without its extension, else its host, as the command line names a
// page after its input file.
export function nameFromAddress(url) {
  let address;
  try {
    address = new URL(url);
  } catch {
    return '';
  }
  let last = address.pathname.split('/').filter((s) => s !== '').pop() ?? '';
  try {
    last = decodeURIComponent(last);
  } catch {
    // A malformed escape stays as written.
  }
  const dot = last.lastIndexOf('.');
  if (dot > 0) last = last.slice(0, dot);
  return last || address.hostname;
}

// One instance of the engine's module. A module whose memory ran out is
// dead; make a new one for the next page (see Engine.create).
export class Engine {
  #module; // the emscripten module: its exports and memory

  constructor(module) {
    this.#module = module;
  }

  // `createEngine` is the emscripten factory; `wasm` the module's bytes.
  static async create(createEngine, wasm) {
    return new Engine(await createEngine({ wasmBinary: wasm }));
  }

  // Calls `use` with a pointer and a length for each of `values` (strings,
  // as UTF-8, or bytes), copied into the module's memory in one block that
  // is freed afterwards.
  #withBytes(values, use) {
    const buffers = values.map(bytesOf);
    const m = this.#module;
    const block = m._malloc(buffers.reduce((sum, b) => sum + b.length, 0) + 1);
    if (block === 0) throw new RangeError('the engine has no memory for the page');
    try {
      const args = [];
      let at = block;
      for (const b of buffers) {
        m.HEAPU8.set(b, at);
        args.push(at, b.length);
        at += b.length;
      }
      return use(args);
    } finally {
      m._free(block);
    }
  }

  // The text file for `markup`, the body element's outer markup (a string,
  // or its UTF-8 bytes), analysed up to its first NUL character; `format` is
  // 'windows' (CR LF lines, an empty line first) or 'lf'.
  extract(markup, { url = '', title = '', analysis = DEFAULT_ANALYSIS, format = defaultFormatOf(analysis) } = {}) {
    const numbers = [numberOf(ANALYSES, 'analysis', analysis), numberOf(FORMATS, 'format', format)];
    const m = this.#module;
    return this.#withBytes([markup, url, title], (args) => {
      const text = m._brevanto_extract(...args, ...numbers);
      if (text === 0) throw new RangeError(`the engine refused the analysis "${analysis}" or the format "${format}"`);
      try {
        const start = m._brevanto_text_bytes(text);
        const bytes = m.HEAPU8.slice(start, start + m._brevanto_text_size(text));
        return new PageText(bytes, m._brevanto_text_header_length(text), m._brevanto_text_markup_cut(text) === 1);
      } finally {
        m._brevanto_text_free(text);
      }
    });
  }

  // The file name for a page: from its title as the command line makes it,
  // else from its address; `room` bytes shorter than the longest name at most.
  fileName(title, url = '', { room = 0 } = {}) {
    const m = this.#module;
    return this.#withBytes([title, nameFromAddress(url)], (args) => {
      const name = m._brevanto_file_name(...args, room);
      try {
        return decoder.decode(m.HEAPU8.subarray(name, m.HEAPU8.indexOf(0, name)));
      } finally {
        m._brevanto_string_free(name);
      }
    });
  }

  // The lower-case names of the block-level elements of an analysis.
  blockElements(analysis = DEFAULT_ANALYSIS) {
    const m = this.#module;
    const names = m._brevanto_block_elements(numberOf(ANALYSES, 'analysis', analysis));
    return decoder.decode(m.HEAPU8.subarray(names, m.HEAPU8.indexOf(0, names))).split(' ').filter((n) => n !== '');
  }
}
