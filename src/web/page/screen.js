// The game's screen: an 80 x 24 terminal (xterm.js) whose font is sized to the width it is
// given, so that a phone shows the whole screen; the grid itself never changes size, because
// the game draws for 80 x 24.
import { Terminal } from './xterm.mjs';
import { keepTerminalStylesWithinPolicy } from './styles.js';

const COLUMNS = 80;
const ROWS = 24;
const FONT_FAMILY = '"DejaVu Sans Mono", "Liberation Mono", Menlo, Consolas, monospace';
const SMALLEST_FONT = 5;
const LARGEST_FONT = 22;

const theme = {
  background: '#0b1020',
  foreground: '#dfe6f5',
  cursor: '#ffd75f',
  cursorAccent: '#0b1020',
  selectionBackground: '#3a4a7a',
};

// The width of one character cell as a share of the font size, measured once.
function cellWidthPerPixel() {
  const context = document.createElement('canvas').getContext('2d');
  context.font = `100px ${FONT_FAMILY}`;
  return context.measureText('W'.repeat(10)).width / 1000;
}

export function fontSizeForWidth(width, perPixel) {
  const size = Math.floor((width / (COLUMNS * perPixel)) * 4) / 4;
  return Math.max(SMALLEST_FONT, Math.min(LARGEST_FONT, size));
}

export function openScreen(element, { readOnly }) {
  keepTerminalStylesWithinPolicy();
  const terminal = new Terminal({
    cols: COLUMNS,
    rows: ROWS,
    fontFamily: FONT_FAMILY,
    fontSize: 15,
    scrollback: 0,
    screenReaderMode: true,
    cursorBlink: !readOnly,
    disableStdin: readOnly,
    theme,
  });
  terminal.open(element);

  const perPixel = cellWidthPerPixel();
  const fit = () => {
    // A little slack for the cell rounding of the renderer.
    const size = fontSizeForWidth(element.clientWidth - 4, perPixel);
    if (terminal.options.fontSize !== size) {
      terminal.options.fontSize = size;
    }
  };
  fit();
  new ResizeObserver(fit).observe(element);

  // A tap on the screen focuses the terminal's input, which opens a phone's keyboard.
  element.addEventListener('pointerup', () => terminal.focus());
  return terminal;
}
