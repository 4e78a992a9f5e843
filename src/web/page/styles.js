// xterm.js styles its screen in two ways that a Content-Security-Policy without
// 'unsafe-inline' rightly refuses, since in a page's markup they could come from anyone:
// <style> elements whose text it sets (cell sizes, theme colours), and style attributes it
// sets on single cells (a selection, true colours). Both are the page's own script at work,
// so they are carried over to what the policy allows a script to do: the text of each
// <style> into a constructed style sheet, and each style attribute into the element's
// CSSOM declarations. The page itself makes no <style> element and sets no style attribute.

// An inert, hidden <template> takes the place of each <style> element the terminal asks for;
// xterm.js uses nothing of them but textContent and remove().
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

export function keepTerminalStylesWithinPolicy() {
  const makeElement = document.createElement.bind(document);
  document.createElement = (name, options) => (String(name).toLowerCase() === 'style'
    ? styleStandIn(makeElement)
    : makeElement(name, options));

  const setAttribute = Element.prototype.setAttribute;
  Element.prototype.setAttribute = function setAttributeWithinPolicy(name, value) {
    if (String(name).toLowerCase() === 'style' && this instanceof HTMLElement) {
      this.style.cssText = String(value);
      return;
    }
    setAttribute.call(this, name, value);
  };
}
