// A table in the browser, end to end: the real server and game, Debian's chromium. Two pages
// (one of them a phone's) play a two-person game (a fixed seed) to its final standings, with a
// spectator page and a terminal client (kessandor join) watching the same screens; keys out of
// turn count for nothing, a reloaded page and a restarted server give the screen back. A seat
// whose page is closed shows as played by the computer until its person comes back.
// Screenshots go to KESSANDOR_ARTEFACTS.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import test from 'node:test';

import { playUntil, promptOf } from './autoplay.mjs';
import {
  DESKTOP, PHONE, SECOND, TablePage, prerequisites, startBrowser, startServer, startTerminalClient, until,
} from './harness.mjs';

const ready = prerequisites();
if (ready.missing) {
  // CI installs everything these tests need, so there a missing piece is a failure.
  console.log(`SKIPPED: the browser tests need ${ready.missing}`);
  process.exit(process.env.CI ? 1 : 77);
}

const artefacts = process.env.KESSANDOR_ARTEFACTS ?? join(process.cwd(), 'web-artefacts');
mkdirSync(artefacts, { recursive: true });
const SEED = 3338721356;

const sameScreen = async (pages) => {
  const screens = await Promise.all(pages.map((page) => page.screen()));
  return screens.every((screen) => screen === screens[0]);
};

test('a table in the browser', { timeout: 240 * SECOND }, async (t) => {
  let server = await startServer(ready.serve);
  const browser = await startBrowser(ready.chromium);
  t.after(async () => {
    await browser.close();
    await server.stop();
  });

  await t.test('the front page opens a table and shows the host its links', async () => {
    const page = await browser.newPage({ ...DESKTOP, permissions: ['clipboard-read', 'clipboard-write'] });
    const host = new TablePage(page, 'the host');  // hears the table page's WebSocket later
    const response = await page.goto(`${server.base}/`);
    assert.match(response.headers()['content-security-policy'], /script-src 'self'/);
    await page.selectOption('#computers', '1');
    await page.selectOption('#level', 'easy');
    await page.click('#create');
    await page.locator('#created').waitFor({ state: 'visible', timeout: 10 * SECOND });
    const link = /^http:\/\/127\.0\.0\.1:\d+\/t\/[a-z0-9-]{1,40}#[A-Za-z2-7]{26}$/i;
    const links = {};
    for (const name of ['join', 'watch', 'host']) {
      links[name] = await page.inputValue(`#${name}-url`);
      assert.match(links[name], link, name);
    }
    assert.equal(new Set(Object.values(links)).size, 3, 'three different links');
    await page.click('button[data-copy="join-url"]');
    await page.locator('button[data-copy="join-url"]', { hasText: 'Copied' }).waitFor({ timeout: 5 * SECOND });
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), links.join);
    await page.click('#take-seat');
    await host.waitUntilSeated();
    assert.equal(host.welcome.host, true);
    await page.locator('#turn', { hasText: 'press S' }).waitFor({ timeout: 5 * SECOND });
    await page.close();
  });

  const table = await server.createTable({ seed: SEED });
  const game = { names: ['Ann', 'Bob'] };
  let ann;
  let bob;
  let watcher;

  await t.test('two people and a spectator sit at one table', async () => {
    ann = await TablePage.open(browser, table.host, 'Ann');
    bob = await TablePage.open(browser, table.join, 'Bob', PHONE);
    watcher = await TablePage.open(browser, table.watch, 'the spectator');
    game.players = [ann, bob];
    game.pages = [ann, bob, watcher];
    assert.equal(ann.welcome.seat, 0);
    assert.equal(bob.welcome.seat, 1);
    assert.equal(watcher.welcome.role, 'spectator');
    // The join link seats once: Bob's page now holds his own seat's token.
    const bobToken = new URL(bob.page.url()).hash.slice(1);
    assert.equal(bobToken, bob.welcome.token);
    assert.notEqual(`#${bobToken}`, new URL(table.join).hash);
    assert.equal(await ann.page.inputValue('#join-url'), table.join);
    assert.equal(await watcher.page.locator('#join-link').isHidden(), true);
    await ann.page.locator('#spectators', { hasText: '1 spectator' }).waitFor({ timeout: 5 * SECOND });
    await ann.page.locator('#seats li').nth(1).waitFor({ timeout: 5 * SECOND });
  });

  // The terminal client, where this build has one, watches from a pseudo-terminal.
  const terminal = ready.join ? startTerminalClient(ready.join, table.watch) : null;
  t.after(async () => terminal?.stop());
  const terminalSeesIt = async () => {
    if (terminal) {
      await until('the terminal client to show the same screen', async () => terminal.screen() === (await ann.screen()).replace(/\n+$/, ''));
    }
  };

  await t.test('on a phone the whole screen fits the width, and a tap brings the keyboard', async () => {
    const width = PHONE.viewport.width;
    const { drawn, page } = await bob.page.evaluate(() => ({
      drawn: document.querySelector('.xterm-screen').getBoundingClientRect().width,
      page: document.documentElement.scrollWidth,
    }));
    assert.ok(drawn <= width && drawn > 0.8 * width, `80 columns ${drawn} px wide on a ${width} px phone`);
    assert.equal(page, width, 'nothing wider than the phone');
    assert.equal(await bob.hasKeyboard(), false);
    await bob.page.locator('#screen').tap();
    assert.equal(await bob.hasKeyboard(), true);
  });

  await t.test('the players give their names and the first turn is Ann\'s', async () => {
    await playUntil(game, (rows) => rows.some((row) => row.includes("[Ann's Turn]")) && promptOf(rows)?.name === 'turn menu');
    await ann.page.locator('#turn.mine', { hasText: 'Your turn' }).waitFor({ timeout: 5 * SECOND });
    await bob.page.locator('#turn', { hasText: "It is Ann's turn." }).waitFor({ timeout: 5 * SECOND });
    await watcher.page.locator('#turn', { hasText: "It is Ann's turn." }).waitFor({ timeout: 5 * SECOND });
    await until('the same screen on every page', () => sameScreen(game.pages));
    assert.match(await ann.page.locator('#seats').innerText(), /Ann[\s\S]*Bob/);
    await until('the screen reader to have the screen', async () => (await ann.screenReaderRows()).join('\n') === (await ann.screen()));
    await ann.shot(join(artefacts, 'table-start.png'));
    await bob.shot(join(artefacts, 'phone-start.png'));
  });

  await t.test('keys out of turn count for nothing, a spectator sends none, and signals none', async () => {
    const before = await ann.screen();
    const notices = bob.notices.length;
    await bob.focus();
    await bob.type('Q');
    await until('a notice to Bob', () => bob.notices.length > notices);
    assert.match(bob.notices.at(-1), /Ann/);
    await bob.page.locator('#notice', { hasText: 'Ann' }).waitFor({ timeout: 5 * SECOND });
    await watcher.focus();
    await watcher.type('Q');
    assert.equal(watcher.keyFramesSent, 0);
    assert.equal(await ann.screen(), before);
    // Ctrl-C and Ctrl-Z from the page whose turn it is would end or stop the game itself.
    await ann.focus();
    await ann.page.keyboard.press('Control+c');
    await ann.page.keyboard.press('Control+z');
    // Had Bob's Q reached the game, Ann's B would now answer its quit question.
    await ann.focus();
    await ann.type('B');
    await ann.waitForText('[Where Do you Wish to Build]');
    assert.equal(ann.restarts, 0, 'the game was restarted');
  });

  await t.test('a company is formed and announced on every screen', async () => {
    await playUntil(game, (rows) => rows.some((row) => row.includes('*** New Corporation Formed ***')) && promptOf(rows)?.name === 'announcement');
    await until('the same screen on every page', () => sameScreen(game.pages));
    await terminalSeesIt();
    await ann.shot(join(artefacts, 'table-announcement.png'));
    await bob.shot(join(artefacts, 'phone-announcement.png'));
  });

  await t.test('the stock stage follows', async () => {
    const rows = await playUntil(game, (screen, prompt) => prompt?.name === 'stock stage');
    assert.ok(rows.some((row) => row.includes('[Stock Stage]')));
  });

  await t.test('a page reloaded mid-game gets its screen and its seat back', async () => {
    const seat = bob.welcome.seat;
    await bob.reload();
    assert.equal(bob.welcome.seat, seat);
    assert.equal(bob.status.seats.length, 2);
    await until('Bob\'s screen back', async () => (await bob.screen()) === (await ann.screen()));
    assert.match(await bob.screen(), /\[Stock Stage\]/);
  });

  await t.test('a restarted server: the page says so, comes back by itself, and the turn returns', async () => {
    // The game is saved at the start of every turn, so that is where it comes back.
    const { name } = ann.status.awaiting;
    const where = { folder: server.folder, port: server.port };
    await server.stop({ keep: true });
    await until('the server to say it is closing', () => ann.closing !== null);
    await ann.page.locator('#connection', { hasText: ann.closing.replace(/\.$/, '') }).waitFor({ timeout: 10 * SECOND });
    await ann.page.locator('#connection', { hasText: 'Reconnecting' }).waitFor({ timeout: 10 * SECOND });
    assert.equal(await ann.page.locator('#screen.stale').count(), 1);
    server = await startServer(ready.serve, { again: where });
    for (const page of game.pages) {
      await page.page.locator('#connection', { hasText: 'Connected' }).waitFor({ timeout: 30 * SECOND });
    }
    await until(`${name}'s turn back on every page`, async () => {
      const screens = await Promise.all(game.pages.map((page) => page.screen()));
      return screens.every((screen) => screen === screens[0] && screen.includes(`[${name}'s Turn]`));
    }, 20);
    await ann.page.locator('#turn', { hasText: name === 'Ann' ? 'Your turn' : `It is ${name}'s turn` })
      .waitFor({ timeout: 5 * SECOND });
  });

  await t.test('the game goes on to its final standings', async () => {
    await playUntil(game, (rows) => rows.some((row) => row.includes('Final Standings')) && promptOf(rows)?.name === 'final standings', { seconds: 150 });
    await until('the same screen on every page', () => sameScreen(game.pages));
    await terminalSeesIt();
    const standings = await ann.screen();
    assert.match(standings, /Ann/);
    assert.match(standings, /Bob/);
    await ann.shot(join(artefacts, 'table-standings.png'));
    await bob.shot(join(artefacts, 'phone-standings.png'));
  });

  await t.test('a link with an unknown token is refused, and the page stops there', async () => {
    const page = await browser.newPage();
    let sockets = 0;
    page.on('websocket', () => { sockets += 1; });
    const id = new URL(table.host).pathname;
    await page.goto(`${server.base}${id}#AAAAAAAAAAAAAAAAAAAAAAAAAA`);
    await page.locator('#connection', { hasText: 'Refused' }).waitFor({ timeout: 10 * SECOND });
    // A refused page must not knock again: watch it for longer than the first pause before
    // a reconnection (at most 1.2 s) would last.
    await page.waitForTimeout(2.5 * SECOND);
    assert.equal(sockets, 1);
    await page.close();
  });

  await t.test('no page broke the policy or threw', () => {
    for (const page of game.pages) {
      assert.deepEqual(page.problems, [], page.name);
    }
  });

});

test('a seat left empty is played by the computer until its person is back', { timeout: 90 * SECOND }, async (t) => {
  // Away after two seconds rather than the default three minutes.
  const server = await startServer(ready.serve, { options: ['--away-minutes', '0.03'] });
  const browser = await startBrowser(ready.chromium);
  t.after(async () => {
    await browser.close();
    await server.stop();
  });
  const table = await server.createTable({ seed: SEED });
  const ann = await TablePage.open(browser, table.host, 'Ann');
  const bob = await TablePage.open(browser, table.join, 'Bob');
  const game = { names: ['Ann', 'Bob'], players: [ann, bob], pages: [ann, bob] };
  await playUntil(game, (rows, prompt) => prompt?.name === 'turn menu');
  const bobsSeat = ann.page.locator('#seats li').nth(1);
  await bobsSeat.filter({ hasText: 'Bob connected' }).waitFor({ timeout: 5 * SECOND });

  const comeBack = bob.page.url();
  await bob.page.close();
  await bobsSeat.filter({ hasText: 'disconnected' }).waitFor({ timeout: 5 * SECOND });
  await bobsSeat.filter({ hasText: 'the computer plays for now' }).waitFor({ timeout: 15 * SECOND });

  const again = await TablePage.open(browser, comeBack, 'Bob again');
  assert.equal(again.welcome.seat, 1);
  await bobsSeat.filter({ hasText: 'Bob connected' }).waitFor({ timeout: 10 * SECOND });
  assert.equal(await again.page.locator('#seats li').nth(1).innerText(), 'Bob you, connected');
});
