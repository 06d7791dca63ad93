// A saved text file, shown as the file holds it. The background hands the
// text over once, to the tab it opened for it.
import './browser-polyfill.js';

const path = document.getElementById('path');
const text = document.getElementById('text');

const file = await browser.runtime.sendMessage({ savedText: location.hash.slice(1) });
if (file === null) {
  path.textContent = 'This saved text is no longer at hand here; the file itself is in your download folder.';
} else {
  document.title = file.path.split(/[\\/]/).pop();
  path.textContent = `Saved as ${file.path}`;
  text.textContent = file.text;
}
