// A seat's (or a spectator's) connection to its table: the hello with the token, then the
// welcome, the current screen, the game's output, the table's status and notices. After any
// drop it connects again by itself, with growing pauses, until the server refuses the token.

const PAUSES = [1, 2, 4, 8, 15];  // seconds before each further attempt; the last repeats
const MOST_KEY_BYTES = 256;       // a key frame's limit at the server

export class TableConnection {
  constructor(url, token, events) {
    this.url = url;
    this.token = token;
    this.events = events;  // onWelcome, onScreen, onOutput, onStatus, onNotice, onState
    this.socket = null;
    this.welcomed = false;
    this.awaitingScreen = false;
    this.failures = 0;
    this.timer = null;
    this.refused = false;
    this.closingReason = null;  // what the server said when it last stopped
    this.encoder = new TextEncoder();
    // A phone that wakes, or a network that returns, is worth trying at once.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible') {
        this.connectNow();
      }
    });
    window.addEventListener('online', () => this.connectNow());
  }

  connect() {
    this.timer = null;
    this.events.onState({ kind: 'connecting', attempt: this.failures });
    const socket = new WebSocket(this.url);
    socket.binaryType = 'arraybuffer';
    socket.onopen = () => socket.send(JSON.stringify({ type: 'hello', token: this.token }));
    socket.onmessage = (message) => this.receive(message.data);
    socket.onclose = () => this.dropped(socket);
    this.socket = socket;
  }

  // Keys as the terminal produced them, in frames the server takes. Nothing is kept for
  // later: keys typed while disconnected could answer a prompt nobody saw.
  sendKeys(text) {
    if (!this.welcomed || this.socket?.readyState !== WebSocket.OPEN) {
      return false;
    }
    const bytes = this.encoder.encode(text);
    for (let start = 0; start < bytes.length; start += MOST_KEY_BYTES) {
      this.socket.send(bytes.subarray(start, start + MOST_KEY_BYTES));
    }
    return true;
  }

  receive(data) {
    if (data instanceof ArrayBuffer) {
      const bytes = new Uint8Array(data);
      if (this.awaitingScreen) {
        this.awaitingScreen = false;
        this.events.onScreen(bytes);
      } else {
        this.events.onOutput(bytes);
      }
      return;
    }
    let message;
    try {
      message = JSON.parse(data);
    } catch {
      return;  // not ours to understand
    }
    switch (message.type) {
      case 'welcome':
        this.welcomed = true;
        this.awaitingScreen = true;
        this.failures = 0;
        this.closingReason = null;
        this.token = message.token;
        this.events.onWelcome(message);
        this.events.onState({ kind: 'connected' });
        break;
      case 'status':
        this.events.onStatus(message);
        break;
      case 'notice':
        this.events.onNotice(message.text);
        break;
      case 'closing':
        this.closingReason = message.reason;
        this.events.onState({ kind: 'closing', reason: message.reason });
        break;
      case 'refused':
        this.refused = true;
        this.events.onState({ kind: 'refused', reason: message.reason });
        break;
      default:
        break;
    }
  }

  dropped(socket) {
    if (socket !== this.socket) {
      return;
    }
    this.socket = null;
    this.welcomed = false;
    if (this.refused) {
      return;
    }
    const pause = PAUSES[Math.min(this.failures, PAUSES.length - 1)];
    this.failures += 1;
    // A little spread, so that a table's seats do not all knock at the same moment.
    const milliseconds = pause * 1000 * (0.8 + Math.random() * 0.4);
    this.events.onState({
      kind: 'waiting', seconds: pause, attempt: this.failures, reason: this.closingReason,
    });
    this.timer = setTimeout(() => this.connect(), milliseconds);
  }

  connectNow() {
    if (this.timer !== null && !this.refused) {
      clearTimeout(this.timer);
      this.connect();
    }
  }
}
