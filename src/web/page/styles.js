// xterm.js keeps the styles it computes (cell sizes, theme colours) in <style> elements whose
// text it sets, and a Content-Security-Policy without 'unsafe-inline' rightly refuses to apply
// such text. The page itself makes no <style> element, so each one asked of this document is
// the terminal's: it gets an inert <template> in its place (hidden, and of no concern to the
// policy), and the text it is given goes into a constructed style sheet, which only the page's
// own scripts can make and the policy allows. xterm.js uses nothing of these elements but
// textContent and remove().

function styleStandIn(makeElement) {
  const element = makeElement('template');
  const sheet = new CSSStyleSheet();
  let text = '';
  document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
  Object.defineProperty(element, 'textContent', {
    get: () => text,
    set: (value) => {
      text = String(value ?? '');
      sheet.replaceSync(text);
    },
  });
  element.remove = () => {
    document.adoptedStyleSheets = document.adoptedStyleSheets.filter((s) => s !== sheet);
    Element.prototype.remove.call(element);
  };
  return element;
}

export function keepTerminalStylesInSheets() {
  const makeElement = document.createElement.bind(document);
  document.createElement = (name, options) => (String(name).toLowerCase() === 'style'
    ? styleStandIn(makeElement)
    : makeElement(name, options));
}
