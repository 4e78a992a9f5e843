// The table's status in words, from the server's status messages: whose turn it is, for the
// page whose turn it is and for everyone else, and what each seat is doing.
import assert from 'node:assert/strict';
import test from 'node:test';

import {
  describeSeat, describeSpectators, describeTurn,
} from '../../src/web/page/status.js';

const seats = [
  { seat: 0, name: 'Ann', kind: 'person', connected: true, computer_playing: false },
  { seat: 1, name: 'Bob', kind: 'person', connected: false, computer_playing: true },
  { seat: 2, name: 'Cyd', kind: 'computer', connected: false, computer_playing: true },
];
const status = (state, who, seat, name = null) => ({
  state, day: 3, awaiting: { who, seat, name }, seats, spectators: 0,
});

test('whose turn: the awaited page is told it is its turn, the others whose it is', () => {
  const bobs = status('playing', 'player', 1, 'Bob');
  assert.deepEqual(describeTurn(bobs, 1, false), { text: 'Your turn.', mine: true });
  assert.deepEqual(describeTurn(bobs, 0, true), { text: "It is Bob's turn.", mine: false });
  assert.deepEqual(describeTurn(bobs, null, false), { text: "It is Bob's turn.", mine: false });
  // A name missing from the awaiting part is taken from the seats.
  assert.equal(describeTurn(status('playing', 'player', 2), 0, true).text, "It is Cyd's turn.");
});

test('whose turn: the title menu is the host\'s, names are typed by each, any key by anyone', () => {
  assert.equal(describeTurn(status('lobby', 'host', 0), 0, true).mine, true);
  assert.deepEqual(describeTurn(status('lobby', 'host', 0), 1, false),
                   { text: 'Waiting for the host to start the game.', mine: false });
  const naming = { ...status('lobby', 'player', 1), seats: [] };
  assert.equal(describeTurn(naming, 1, false).mine, true);
  assert.match(describeTurn(naming, 1, false).text, /type your name/);
  assert.equal(describeTurn(naming, 0, true).text, 'Waiting for player 2 to type a name.');
  assert.equal(describeTurn(status('playing', 'any', null), 1, false).mine, true);
  assert.equal(describeTurn(status('playing', 'any', null), null, false).mine, false);
  assert.equal(describeTurn(status('playing', 'nobody', null), 0, true).mine, false);
});

test('whose turn: nobody\'s once the game is over or while it restarts', () => {
  for (const state of ['finished', 'restarting']) {
    assert.equal(describeTurn(status(state, 'player', 0, 'Ann'), 0, true).mine, false, state);
  }
});

test('each seat says who sits there and whether the computer plays it', () => {
  assert.equal(describeSeat(seats[0], 0), 'you, host, connected');
  assert.equal(describeSeat(seats[1], 0), 'away, the computer plays for now');
  assert.equal(describeSeat(seats[2], 0), 'computer');
  assert.equal(describeSeat({ ...seats[1], computer_playing: false }, 1), 'you, disconnected');
  assert.equal(describeSpectators(0), 'Nobody is watching.');
  assert.equal(describeSpectators(1), '1 spectator is watching.');
  assert.equal(describeSpectators(3), '3 spectators are watching.');
});
