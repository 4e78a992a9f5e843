// What the table's status says in words: whose turn it is, each seat, the spectators. Pure
// functions of the server's status message and who this page is, so the page and its tests
// agree on the wording.

export function seatName(status, seat) {
  const entry = status.seats.find((s) => s.seat === seat);
  return entry?.name ?? `Player ${seat + 1}`;
}

// { text, mine }: mine is true when this page's keys are the ones the game waits for.
export function describeTurn(status, you, host) {
  const awaiting = status.awaiting ?? { who: 'nobody' };
  if (status.state === 'finished') {
    return { text: 'The game is over.', mine: false };
  }
  if (status.state === 'restarting') {
    return { text: 'The table is restarting; the game comes back where it was.', mine: false };
  }
  switch (awaiting.who) {
    case 'host':
      return host
        ? { text: 'Your move: press S to start once everyone is seated.', mine: true }
        : { text: 'Waiting for the host to start the game.', mine: false };
    case 'player': {
      if (awaiting.seat === you) {
        const text = status.state === 'lobby' ? 'Your turn: type your name and press Enter.'
                                              : 'Your turn.';
        return { text, mine: true };
      }
      if (status.state === 'lobby' && !awaiting.name) {
        return { text: `Waiting for player ${awaiting.seat + 1} to type a name.`, mine: false };
      }
      const name = awaiting.name ?? seatName(status, awaiting.seat);
      return { text: `It is ${name}'s turn.`, mine: false };
    }
    case 'any':
      return you === null
        ? { text: 'Waiting for a player to press a key.', mine: false }
        : { text: 'Press any key to go on.', mine: true };
    default:
      return { text: 'The game is thinking.', mine: false };
  }
}

// The words after a seat's name: who sits there and how they are doing.
export function describeSeat(seat, you) {
  const words = [];
  if (seat.seat === you) {
    words.push('you');
  }
  if (seat.seat === 0 && seat.kind === 'person') {
    words.push('host');
  }
  if (seat.kind === 'computer') {
    words.push('computer');
  } else if (seat.computer_playing) {
    words.push('away, the computer plays for now');
  } else {
    words.push(seat.connected ? 'connected' : 'disconnected');
  }
  return words.join(', ');
}

export function describeSpectators(count) {
  if (count === 0) {
    return 'Nobody is watching.';
  }
  return count === 1 ? '1 spectator is watching.' : `${count} spectators are watching.`;
}

export function describeState(status) {
  switch (status.state) {
    case 'lobby':
      return 'Setting up the game.';
    case 'playing':
      return status.day === null ? 'Playing.' : `Playing, day ${status.day}.`;
    case 'finished':
      return 'Finished: the final standings stay on the screen.';
    case 'restarting':
      return 'Restarting the game from its last save.';
    default:
      return '';
  }
}
