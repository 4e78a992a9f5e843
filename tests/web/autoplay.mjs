// Plays a table's game through its pages as its people would: reads the prompt at the foot of
// the screen, answers it from the page whose turn the table's status names, and waits for the
// game to take the answer. It builds next to a star or a company where it can, so companies
// form early, and ends every stock stage at once.
import { until } from './harness.mjs';

// KESSANDOR_WEB_TRACE=1 prints each answer as it is typed, with the time it took.
const started = Date.now();
const trace = process.env.KESSANDOR_WEB_TRACE
  ? (line) => console.log(`# ${((Date.now() - started) / 1000).toFixed(2)} s: ${line}`)
  : () => {};

// A prompt at the foot of the screen, and the answer it gets.
const PROMPTS = [
  { name: 'title menu', pattern: /\[Your Choice\]\[\?\]$/, answer: () => 'S' },
  { name: 'player count', pattern: /\[How many people are playing\]\[\?\]:$/, answer: (game) => String(game.names.length) },
  { name: 'name', pattern: /\[What is player (\d)'s name\]\[\?\]:$/, answer: (game, match) => game.names[Number(match[1]) - 1] },
  { name: 'turn menu', pattern: /\[Choice\]\[\?\]$/, answer: () => 'B' },
  { name: 'build', pattern: /\[Where Do you Wish to Build\]\[\?\]$/, answer: (game, match, rows) => chooseSpot(rows) },
  { name: 'stock stage', pattern: /\[Choice\]\?$/, answer: () => 'E' },
  { name: 'announcement', pattern: /\[Press Any Key to Continue\]$/, answer: () => 'k', key: true },
  { name: 'final standings', pattern: /^Press Any key to continue$/, answer: () => 'k', key: true },
];

export function promptOf(rows) {
  const foot = [...rows].reverse().find((row) => row.trim() !== '') ?? '';
  for (const prompt of PROMPTS) {
    const match = foot.match(prompt.pattern);
    if (match) {
      return { ...prompt, match };
    }
  }
  return null;
}

// The offered spot beside a star or an outpost or company if there is one, else the first.
export function chooseSpot(rows) {
  const header = rows.findIndex((row) => /^\s+A  B  C  D  E  F  G  H  I  J  K  L$/.test(row));
  const heading = rows.findIndex((row) => row.includes('[Here are coordinates you can build on]'));
  if (header < 0 || heading < 0) {
    throw new Error(`a build prompt without its map and offers:\n${rows.join('\n')}`);
  }
  const offers = rows[heading + 1].trim().split(/\s+/);
  const first = rows[header].indexOf('A');
  const cell = (column, row) => {
    const line = rows[header + 1 + row] ?? '';
    return column < 0 || column > 11 ? '.' : (line[first + 3 * column] ?? '.');
  };
  const lively = (column, row) => /[*+A-Z]/.test(cell(column, row));
  const beside = offers.find((offer) => {
    const column = offer.charCodeAt(0) - 65;
    const row = Number(offer.slice(1)) - 1;
    return [[1, 0], [-1, 0], [0, 1], [0, -1]].some(([dc, dr]) => lively(column + dc, row + dr));
  });
  return beside ?? offers[0];
}

// The page whose keys the game waits for now, by the table's latest status.
function awaitedPage(pages, status) {
  const awaiting = status?.awaiting;
  if (awaiting?.who === 'player') {
    return pages.find((page) => page.welcome?.seat === awaiting.seat);
  }
  return pages.find((page) => page.welcome?.host);
}

// Answers prompts until stop(rows, prompt) says so; returns the rows it stopped at.
export async function playUntil(game, stop, { seconds = 60 } = {}) {
  const deadline = Date.now() + seconds * 1000;
  const watcher = game.pages[0];
  for (;;) {
    if (Date.now() > deadline) {
      throw new Error(`the game did not get there in ${seconds} s:\n${await watcher.screen()}`);
    }
    // A screen is read once it holds still for one poll: the screen-reader rows follow the
    // terminal a frame behind, and a frame can catch a screen half drawn.
    let previous = '';
    const rows = await until('a prompt', async () => {
      const now = await watcher.rows();
      const settled = now.join('\n') === previous;
      previous = now.join('\n');
      return settled && (promptOf(now) || stop(now, null)) ? now : null;
    }, 20).catch(async (problem) => {
      throw new Error(`${problem.message}; the screen shows:\n${await watcher.screen()}`);
    });
    const prompt = promptOf(rows);
    if (stop(rows, prompt)) {
      return rows;
    }
    await answer(game, prompt, rows);
  }
}

// Types one answer, from another page if the first one's keys were refused (the status can
// trail the screen by a moment when the turn passes).
async function answer(game, prompt, rows) {
  const before = rows.join('\n');
  const text = prompt.answer(game, prompt.match, rows);
  const watcher = game.pages[0];
  for (let attempt = 0; attempt < 3; attempt += 1) {
    const page = awaitedPage(game.players, watcher.status);
    const notices = page.notices.length;
    trace(`${page.name} to answer the ${prompt.name}`);
    await page.focus();
    await page.type(text, { enter: !prompt.key });
    const outcome = await until(`the game to take "${text}" at the ${prompt.name}`, async () => {
      if (page.notices.length > notices) {
        return 'refused';
      }
      return (await watcher.screen()) !== before ? 'taken' : null;
    });
    trace(`${page.name} typed ${JSON.stringify(text)} at the ${prompt.name}: ${outcome}`);
    if (outcome === 'taken') {
      return;
    }
    // Refused: the status about to arrive names the page whose turn it is.
    await until(`the status to name someone other than ${page.name} at the ${prompt.name}`,
                () => awaitedPage(game.players, watcher.status) !== page, 5);
  }
  throw new Error(`no page could answer the ${prompt.name}`);
}
