// Reads the page as it shows now, after its scripts ran: the body element's
// outer markup, serialized as brevanto-extract's loader serializes a parsed
// page, so that the analysis sees the same markup either way. Text and
// attribute values are escaped (U+00A0 as &nbsp;, and a line feed in text as
// CR LF, the line end the analysis works in), raw-text elements keep their
// text as it is, void elements have no end tag, and a line break stands
// before each block-level start tag that does not start a line already.
// Comments stay only for the classic analysis, which reads them by its own
// rule. The walk keeps its own stack, so any depth goes through.
//
// The function runs inside the page (scripting.executeScript) and so refers
// to nothing outside itself. `blockElements` are the lower-case names of the
// analysis' block-level elements.
export function serializePage(blockElements, keepComments) {
  const HTML = 'http://www.w3.org/1999/xhtml';
  const block = new Set(blockElements);
  // Elements whose text the parser reads as it is (scripting on).
  const rawText = new Set(['style', 'script', 'xmp', 'iframe', 'noembed', 'noframes', 'plaintext', 'noscript']);
  // Elements whose text a browser never shows.
  const hidden = new Set(['script', 'style', 'noscript', 'template', 'iframe', 'noembed', 'noframes']);
  const voids = new Set([
    'area', 'base', 'basefont', 'bgsound', 'br', 'col', 'embed', 'frame', 'hr', 'img', 'input', 'keygen',
    'link', 'meta', 'param', 'source', 'track', 'wbr',
  ]);
  const textEscapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '\u00a0': '&nbsp;', '\n': '\r\n' };
  const attributeEscapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', '\u00a0': '&nbsp;' };
  const textSpecial = /[&<>\u00a0\n]/g;
  const attributeSpecial = /[&<>"\u00a0]/g;
  const escapeText = (text) => text.replace(textSpecial, (c) => textEscapes[c]);
  const escapeAttribute = (text) => text.replace(attributeSpecial, (c) => attributeEscapes[c]);
  // The ASCII white space of markup; anything else is text that shows.
  const showsText = (text) => /[^ \t\n\f\r]/.test(text);

  let markup = '';
  let endsLine = true; // nothing written yet, or a line feed last: kept aside, as asking the string would flatten it
  const put = (part) => {
    if (part === '') return;
    markup += part;
    endsLine = part.endsWith('\n');
  };
  let hasText = false;
  let hiddenDepth = 0; // open elements whose text a browser never shows

  // Writes the start tag; true when content and an end tag follow. `html`
  // and `name` are the element's.
  const openTag = (element, html, name) => {
    if (!endsLine && html && block.has(name)) put('\r\n');
    if (html && hidden.has(name)) ++hiddenDepth;
    let tag = `<${name}`;
    if (element.hasAttributes()) {
      for (const attribute of element.attributes) tag += ` ${attribute.name}="${escapeAttribute(attribute.value)}"`;
    }
    put(`${tag}>`);
    return !(html && voids.has(name));
  };
  const endTag = (open) => {
    if (open.html && hidden.has(open.name)) --hiddenDepth;
    put(`</${open.name}>`);
  };
  // A template's children live in its content.
  const enter = (element, html, name) => ({
    html,
    name,
    raw: html && rawText.has(name),
    next: html && name === 'template' ? element.content.firstChild : element.firstChild,
  });

  const TEXT = Node.TEXT_NODE;
  const ELEMENT = Node.ELEMENT_NODE;
  const COMMENT = Node.COMMENT_NODE;
  const body = document.body;
  const bodyHtml = body?.namespaceURI === HTML;
  if (body != null && openTag(body, bodyHtml, body.localName)) {
    const open = [enter(body, bodyHtml, body.localName)];
    while (open.length > 0) {
      const top = open[open.length - 1];
      const node = top.next;
      if (node === null) {
        endTag(top);
        open.pop();
        continue;
      }
      top.next = node.nextSibling;
      const type = node.nodeType;
      if (type === TEXT) {
        const value = node.data;
        if (!hasText && hiddenDepth === 0) hasText = showsText(value);
        put(top.raw ? value : escapeText(value));
      } else if (type === ELEMENT) {
        const html = node.namespaceURI === HTML;
        const name = node.localName;
        if (openTag(node, html, name)) open.push(enter(node, html, name));
      } else if (type === COMMENT && keepComments) {
        put(`<!--${node.data}-->`);
      }
    }
  }
  return { markup, hasText, title: document.title, url: document.URL };
}
