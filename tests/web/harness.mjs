// What the browser tests share: the real server in a temporary state folder, Debian's chromium
// driven by playwright-core, and a table page seen through the test's eyes: its screen (the
// rows the terminal draws, and those it gives a screen reader), its status, and the frames it
// exchanges with the server.
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, chmodSync, mkdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = '/usr/bin/chromium';
export const SECOND = 1000;

// Everything the tests need, or the reason they cannot run here.
export function prerequisites() {
  const modules = process.env.KESSANDOR_WEB_MODULES ?? '';
  const serve = process.env.KESSANDOR_SERVE ?? '';
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
  return { chromium: require('playwright-core').chromium, serve };
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
// Given the folder and port of a stopped one, it starts again on the same tables.
export async function startServer(serve, again = null) {
  const folder = again?.folder ?? mkdtempSync(join(tmpdir(), 'kessandor-web-'));
  chmodSync(folder, 0o755);
  const state = join(folder, 'state');
  mkdirSync(state, { recursive: true });
  const port = again?.port ?? await freePort();
  const args = ['--listen', `127.0.0.1:${port}`, '--state', state];
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

export async function startBrowser(chromium) {
  const profile = mkdtempSync(join(tmpdir(), 'kessandor-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
    viewport: { width: 1280, height: 720 },
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// One table page, and what it has said and heard on its WebSocket.
export class TablePage {
  constructor(page, name) {
    this.page = page;
    this.name = name;
    this.status = null;
    this.notices = [];
    this.welcome = null;
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

  static async open(context, url, name) {
    const table = new TablePage(await context.newPage(), name);
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
    } else if (message.type === 'notice') {
      this.notices.push(message.text);
    } else if (message.type === 'welcome') {
      this.welcome = message;
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

  // A person clicks the screen to type there; once it has the keyboard, no more clicks.
  async focus() {
    const focused = await this.page.evaluate(
      () => document.activeElement?.classList.contains('xterm-helper-textarea') ?? false);
    if (!focused) {
      await this.page.locator('#screen').click();
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
