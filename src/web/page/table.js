// The table page: the game's screen, the table's status beside it, and the connection that
// feeds both. The seat's token is in the address's fragment, which never reaches a server log.
import { TableConnection } from './connection.js';
import { wireCopyButtons } from './copy.js';
import { openScreen } from './screen.js';
import {
  describeSeat, describeSpectators, describeState, describeTurn,
} from './status.js';

const NOTICE_SECONDS = 6;
// Ctrl-C, Ctrl-Z and Ctrl-\ would reach the table's game as signals that end or stop it. At a
// terminal they leave or suspend the client; a page has nothing of the kind to do with them.
const SIGNAL_KEYS = /[\x03\x1a\x1c]/g;

// Ctrl-C (Cmd-C) with part of the screen selected copies it, as in any page.
function copySelectionOnCtrlC(terminal) {
  terminal.attachCustomKeyEventHandler((event) => {
    const copy = event.type === 'keydown' && (event.ctrlKey || event.metaKey)
      && event.key.toLowerCase() === 'c' && terminal.hasSelection();
    if (copy) {
      navigator.clipboard?.writeText(terminal.getSelection()).catch(() => {});
    }
    return !copy;
  });
}

const page = {
  connection: document.getElementById('connection'),
  screen: document.getElementById('screen'),
  hint: document.getElementById('hint'),
  turn: document.getElementById('turn'),
  notice: document.getElementById('notice'),
  tableId: document.getElementById('table-id'),
  tableState: document.getElementById('table-state'),
  seats: document.getElementById('seats'),
  spectators: document.getElementById('spectators'),
};

const tableId = decodeURIComponent(location.pathname.split('/')[2] ?? '');
const me = { role: null, seat: null, host: false };
let lastStatus = null;
let noticeTimer = null;

function showLink(id, url) {
  const box = document.getElementById(`${id}-link`);
  box.hidden = !url;
  document.getElementById(`${id}-url`).value = url ?? '';
}

function sentence(text) {
  return /[.!?]$/.test(text) ? text : `${text}.`;
}

function showConnection(text, tone) {
  setText(page.connection, text);
  page.connection.dataset.tone = tone;
  page.screen.classList.toggle('stale', tone !== 'ok');
}

function showNotice(text) {
  page.notice.textContent = text;
  page.notice.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => {
    page.notice.hidden = true;
  }, NOTICE_SECONDS * 1000);
}

// Live regions are read out whenever their text is written, so only changes are written.
function setText(element, text) {
  if (element.textContent !== text) {
    element.textContent = text;
  }
}

let seatsShown = '';

function renderSeats(status) {
  const awaited = status.awaiting?.who === 'player' ? status.awaiting.seat : null;
  const shown = JSON.stringify([status.seats, awaited, me.seat]);
  if (shown === seatsShown) {
    return;
  }
  seatsShown = shown;
  page.seats.replaceChildren(...status.seats.map((seat) => {
    const item = document.createElement('li');
    item.classList.toggle('awaited', seat.seat === awaited);
    item.classList.toggle('mine', seat.seat === me.seat);
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = seat.name ?? `Player ${seat.seat + 1}`;
    const about = document.createElement('span');
    about.className = 'about';
    about.textContent = describeSeat(seat, me.seat);
    item.append(name, ' ');
    if (seat.seat === awaited) {
      const marker = document.createElement('span');
      marker.className = 'to-play';
      marker.textContent = 'to play';
      item.append(marker, ' ');
    }
    item.append(about);
    return item;
  }));
}

function renderStatus(status) {
  lastStatus = status;
  const turn = describeTurn(status, me.seat, me.host);
  setText(page.turn, turn.text);
  page.turn.classList.toggle('mine', turn.mine);
  if (turn.mine) {
    page.notice.hidden = true;  // "It is Ann's turn" is over once it is this page's turn
  }
  setText(page.tableState, describeState(status));
  renderSeats(status);
  setText(page.spectators, describeSpectators(status.spectators));
  document.title = turn.mine ? `Your turn - Kessandor ${tableId}` : `Kessandor ${tableId}`;
}

function welcome(message, terminal) {
  Object.assign(me, { role: message.role, seat: message.seat, host: message.host });
  page.tableId.textContent = message.table;
  // A join link seats its holder once; from now on this page's own token comes back to the
  // same seat, also after a reload.
  if (location.hash.slice(1) !== message.token) {
    history.replaceState(null, '', `${location.pathname}${location.search}#${message.token}`);
  }
  showLink('join', message.join);
  showLink('watch', message.watch);
  const watching = message.role === 'spectator';
  // A spectator's own link is the spectator link already shown.
  showLink('own', watching ? null : message.link);
  terminal.options.disableStdin = watching;
  page.hint.textContent = watching
    ? 'You are watching: only the players type.'
    : 'Click or tap the screen to type. Answers end with Enter.';
}

function showState(state) {
  switch (state.kind) {
    case 'connecting':
      showConnection(state.attempt === 0 ? 'Connecting…' : 'Reconnecting…', 'warn');
      break;
    case 'connected':
      showConnection('Connected', 'ok');
      break;
    case 'waiting':
      showConnection(`${sentence(state.reason ?? 'The connection was lost')} `
                     + `Reconnecting in ${state.seconds} s…`, 'warn');
      break;
    case 'closing':
      showConnection(`${sentence(state.reason)} Reconnecting…`, 'warn');
      break;
    case 'refused':
      showConnection(`Refused: ${state.reason}`, 'bad');
      page.turn.textContent = `This link does not open the table: ${state.reason}`;
      page.turn.classList.remove('mine');
      break;
    default:
      break;
  }
}

function start() {
  wireCopyButtons();
  const token = location.hash.slice(1);
  const terminal = openScreen(page.screen, { readOnly: false });
  if (!token) {
    showConnection('No seat in this link', 'bad');
    page.turn.textContent = 'This link has no seat in it. Ask the host for the link again.';
    return;
  }
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  const url = `${scheme}//${location.host}/t/${encodeURIComponent(tableId)}/ws`;
  const connection = new TableConnection(url, token, {
    onWelcome: (message) => welcome(message, terminal),
    onScreen: (bytes) => {
      terminal.reset();
      terminal.write(bytes);
    },
    onOutput: (bytes) => terminal.write(bytes),
    onStatus: renderStatus,
    onNotice: showNotice,
    onState: showState,
  });
  copySelectionOnCtrlC(terminal);
  terminal.onData((typed) => {
    const keys = typed.replace(SIGNAL_KEYS, '');
    if (me.role !== 'player' || keys === '') {
      return;
    }
    if (!connection.sendKeys(keys)) {
      showNotice('Not connected: those keys were not sent.');
    } else if (lastStatus && !describeTurn(lastStatus, me.seat, me.host).mine) {
      showNotice(describeTurn(lastStatus, me.seat, me.host).text);
    }
  });
  connection.connect();
  // With a mouse the screen takes the keys at once; on a phone the keyboard would cover half
  // the page before anyone asked for it, so there a tap on the screen brings it.
  if (matchMedia('(pointer: fine)').matches) {
    terminal.focus();
  }
}

start();
