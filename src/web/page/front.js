// The front page: opens a new table (POST /api/tables) and shows the host its links.
import { wireCopyButtons } from './copy.js';

const form = document.getElementById('new-table');
const createButton = document.getElementById('create');
const error = document.getElementById('error');
const created = document.getElementById('created');

const refusals = {
  400: 'The server did not accept these settings.',
  403: 'This server takes new tables only from its own address: open it by its own link.',
  429: 'Too many new tables from your address. Wait a minute and try again.',
  503: 'The server holds as many tables as it may. Try again later.',
};

function showError(text) {
  error.textContent = text;
  error.hidden = false;
}

async function createTable(settings) {
  let response;
  try {
    response = await fetch('/api/tables', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(settings),
    });
  } catch {
    throw new Error('The server cannot be reached. Check your connection and try again.');
  }
  if (response.status !== 201) {
    throw new Error(refusals[response.status] ?? `The server answered ${response.status}.`);
  }
  return response.json();
}

function showTable(table) {
  document.getElementById('join-url').value = table.join;
  document.getElementById('watch-url').value = table.watch;
  document.getElementById('host-url').value = table.host;
  document.getElementById('take-seat').href = table.host;
  created.hidden = false;
  created.scrollIntoView({ block: 'nearest' });
  document.getElementById('take-seat').focus();
}

// The level matters only when there are computers to play at it.
const showLevel = () => {
  form.elements.level.disabled = form.elements.computers.value === '0';
};
form.elements.computers.addEventListener('change', showLevel);
showLevel();

form.addEventListener('submit', async (event) => {
  event.preventDefault();
  error.hidden = true;
  createButton.disabled = true;
  try {
    showTable(await createTable({
      computers: Number(form.elements.computers.value),
      level: form.elements.level.value,
    }));
  } catch (problem) {
    showError(problem.message);
  } finally {
    createButton.disabled = false;
  }
});

wireCopyButtons();
