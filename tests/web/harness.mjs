// What the browser tests share: the real server in a temporary state folder, Debian's chromium
// driven by playwright-core, and a table page seen through the test's eyes: its screen (the
// rows the terminal draws, and those it gives a screen reader), its status, and the frames it
// exchanges with the server.
import { spawn } from 'node:child_process';
import {
  chmodSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync,
} from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = '/usr/bin/chromium';
export const DESKTOP = { viewport: { width: 1280, height: 720 } };
export const PHONE = {
  viewport: { width: 390, height: 844 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true,
};
export const SECOND = 1000;

// Everything the tests need, or the reason they cannot run here.
export function prerequisites() {
  const modules = process.env.KESSANDOR_WEB_MODULES ?? '';
  const serve = process.env.KESSANDOR_SERVE ?? '';
  const client = process.env.KESSANDOR_JOIN ?? '';
  if (Number(process.versions.node.split('.')[0]) < 20) {
    return { missing: `Node.js 20 or later for playwright-core (this is ${process.version})` };
  }
  if (!existsSync(CHROMIUM)) {
    return { missing: `${CHROMIUM} is not installed (Debian: apt install chromium)` };
  }
  if (!existsSync(join(modules, 'playwright-core'))) {
    return { missing: `playwright-core is not in ${modules || 'KESSANDOR_WEB_MODULES'} (npm ci)` };
  }
  if (!existsSync(serve)) {
    return { missing: `the server is not built (${serve || 'KESSANDOR_SERVE'})` };
  }
  const require = createRequire(join(modules, '..', 'package.json'));
  return {
    chromium: require('playwright-core').chromium,
    serve,
    join: existsSync(client) ? client : null,  // the terminal client, where this build has one
  };
}

async function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

export async function until(what, check, seconds = 10) {
  const deadline = Date.now() + seconds * SECOND;
  let last;
  while (Date.now() < deadline) {
    last = await check();
    if (last) {
      return last;
    }
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
  throw new Error(`timed out after ${seconds} s waiting for ${what}`);
}

// The real server on a port of its own, its tables in a folder that goes with it.
// Given the folder and port of a stopped one, it starts again on the same tables; options
// are the server's own further arguments.
export async function startServer(serve, { again = null, options = [] } = {}) {
  const folder = again?.folder ?? mkdtempSync(join(tmpdir(), 'kessandor-web-'));
  chmodSync(folder, 0o755);  // a server run as nobody reaches its state folder through it
  const state = join(folder, 'state');
  mkdirSync(state, { recursive: true });
  const port = again?.port ?? await freePort();
  const args = ['--listen', `127.0.0.1:${port}`, '--state', state, ...options];
  // The server refuses to run as root (CI runs as root): it runs as nobody then.
  if (process.getuid?.() === 0) {
    args.push('--user', 'nobody');
  }
  const env = { ...process.env, XDG_STATE_HOME: join(folder, 'xdg-state'),
                XDG_DATA_HOME: join(folder, 'xdg-data') };
  const child = spawn(serve, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
  let log = '';
  child.stdout.on('data', (data) => { log += data; });
  child.stderr.on('data', (data) => { log += data; });
  const base = `http://127.0.0.1:${port}`;
  const server = {
    base,
    folder,
    port,
    log: () => log,
    async createTable(settings) {
      const response = await fetch(`${base}/api/tables`, {
        method: 'POST', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(settings),
      });
      if (response.status !== 201) {
        throw new Error(`POST /api/tables answered ${response.status}: ${await response.text()}`);
      }
      return response.json();
    },
    // SIGTERM, as a service manager stops it; the tables stay in the folder unless removed.
    async stop({ keep = false } = {}) {
      if (child.exitCode === null) {
        child.kill('SIGTERM');
        await Promise.race([new Promise((resolve) => child.once('exit', resolve)),
                            new Promise((resolve) => setTimeout(resolve, 8 * SECOND))]);
        if (child.exitCode === null) {
          child.kill('SIGKILL');
        }
      }
      if (!keep) {
        rmSync(folder, { recursive: true, force: true });
      }
    },
  };
  try {
    await until('the server to answer /healthz', async () => {
      if (child.exitCode !== null) {
        throw new Error(`the server exited with ${child.exitCode}:\n${log}`);
      }
      try {
        return (await fetch(`${base}/healthz`)).ok;
      } catch {
        return false;
      }
    }, 15);
  } catch (problem) {
    await server.stop();
    throw problem;
  }
  return server;
}

// Each person gets a browser context of their own, as each has a browser of their own: pages
// of one context share one window, where only the page in front draws at full speed. The
// browser itself runs on a fresh temporary profile (Playwright's launch makes one).
export async function startBrowser(chromium) {
  const browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  return {
    async newPage(device = DESKTOP) {
      const context = await browser.newContext(device);
      return context.newPage();
    },
    async close() {
      await browser.close();
    },
  };
}

// One table page, and what it has said and heard on its WebSocket.
export class TablePage {
  constructor(page, name, device = DESKTOP) {
    this.page = page;
    this.name = name;
    this.touch = device.hasTouch ?? false;
    this.status = null;
    this.notices = [];
    this.welcome = null;
    this.closing = null;
    this.restarts = 0;  // statuses that said the game was being restarted
    this.keyFramesSent = 0;
    this.problems = [];
    page.on('pageerror', (error) => this.problems.push(`page error: ${error.message}`));
    // A dropped connection is logged too; what must never happen is a refusal by the policy.
    page.on('console', (message) => {
      if (/Content Security Policy/i.test(message.text())) {
        this.problems.push(`console: ${message.text()}`);
      }
    });
    page.on('websocket', (socket) => {
      socket.on('framereceived', ({ payload }) => this.heard(payload));
      socket.on('framesent', ({ payload }) => {
        if (typeof payload !== 'string') {
          this.keyFramesSent += 1;
        }
      });
    });
  }

  static async open(browser, url, name, device = DESKTOP) {
    const table = new TablePage(await browser.newPage(device), name, device);
    await table.page.goto(url);
    await table.waitUntilSeated();
    return table;
  }

  heard(payload) {
    if (typeof payload !== 'string') {
      return;
    }
    const message = JSON.parse(payload);
    if (message.type === 'status') {
      this.status = message;
      this.restarts += message.state === 'restarting' ? 1 : 0;
    } else if (message.type === 'notice') {
      this.notices.push(message.text);
    } else if (message.type === 'welcome') {
      this.welcome = message;
    } else if (message.type === 'closing') {
      this.closing = message.reason;
    }
  }

  async waitUntilSeated() {
    await this.page.locator('#connection', { hasText: 'Connected' }).waitFor({ timeout: 10 * SECOND });
    await until(`${this.name}'s first status`, () => this.status !== null);
  }

  async reload() {
    this.status = null;
    this.welcome = null;
    await this.page.reload();
    await this.waitUntilSeated();
  }

  // The screen's 24 rows as the page shows them, trailing blanks dropped.
  async rows() {
    return this.rowsOf('.xterm-rows > div');
  }

  // The same as the screen reader has them (xterm.js brings them up to date a second late).
  async screenReaderRows() {
    return this.rowsOf('.xterm-accessibility-tree > div');
  }

  async rowsOf(selector) {
    return this.page.evaluate((rows) => [...document.querySelectorAll(rows)]
      .map((row) => row.textContent.replace(/\u00a0/g, ' ').trimEnd()), selector);
  }

  async screen() {
    return (await this.rows()).join('\n');
  }

  async waitForText(text, seconds = 10) {
    return until(`"${text}" on ${this.name}'s screen`, async () => (await this.screen()).includes(text), seconds);
  }

  async hasKeyboard() {
    return this.page.evaluate(
      () => document.activeElement?.classList.contains('xterm-helper-textarea') ?? false);
  }

  // A person clicks (or on a phone taps) the screen to type there; once it has the keyboard,
  // no more of that.
  async focus() {
    if (!(await this.hasKeyboard())) {
      const screen = this.page.locator('#screen');
      await (this.touch ? screen.tap() : screen.click());
    }
  }

  // Keys as a person types them: characters, then Enter unless it is a single key.
  async type(text, { enter = true } = {}) {
    await this.page.keyboard.type(text);
    if (enter) {
      await this.page.keyboard.press('Enter');
    }
  }

  async shot(path) {
    await this.page.screenshot({ path });
  }
}

// The terminal client (kessandor join) in a pseudo-terminal of 80 x 24, by util-linux's
// script, which records everything the client writes to its terminal.
export function startTerminalClient(client, url) {
  const folder = mkdtempSync(join(tmpdir(), 'kessandor-join-'));
  const log = join(folder, 'terminal');
  const quote = (text) => `'${text.replace(/'/g, "'\\''")}'`;
  const child = spawn('script', ['-qfec', `stty rows 24 cols 80; exec ${quote(client)} ${quote(url)}`, log],
                      { stdio: ['pipe', 'ignore', 'ignore'] });
  return {
    // The screen since the game last cleared it, as the terminal shows it: the game's bytes
    // without the client's title and the terminal's own escapes.
    screen() {
      let text = existsSync(log) ? readFileSync(log, 'latin1') : '';
      const clear = text.lastIndexOf('\x1b[H\x1b[2J');
      text = clear < 0 ? text : text.slice(clear);
      return text.replace(/\x1b\][^\x07\x1b]*(\x07|\x1b\\)/g, '')
        .replace(/\x1b\[[0-9;?]*[A-Za-z]/g, '').replace(/\x1b[78=>]/g, '').replace(/\x1b[()][0-9A-Z]/g, '').replace(/\r/g, '')
        .split('\n').map((row) => row.trimEnd()).join('\n').replace(/\n+$/, '');
    },
    async stop() {
      child.kill('SIGTERM');
      await new Promise((resolve) => (child.exitCode === null ? child.once('exit', resolve) : resolve()));
      rmSync(folder, { recursive: true, force: true });
    },
  };
}
