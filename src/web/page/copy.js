// The copy buttons beside each link: a button names the input whose text it copies
// (data-copy="ID").

export function wireCopyButtons(root = document) {
  for (const button of root.querySelectorAll('button[data-copy]')) {
    button.addEventListener('click', async () => {
      const input = document.getElementById(button.dataset.copy);
      const copied = await copyText(input);
      flash(button, copied ? 'Copied' : 'Press Ctrl+C');
    });
  }
}

async function copyText(input) {
  try {
    await navigator.clipboard.writeText(input.value);
    return true;
  } catch {
    // Plain http from another machine is no secure context, so there is no clipboard API:
    // select the text, where the older command (or the person) can copy it.
    input.focus();
    input.select();
    try {
      return document.execCommand('copy');
    } catch {
      return false;
    }
  }
}

const restoreTimers = new WeakMap();

function flash(button, text) {
  button.dataset.label ??= button.textContent;
  button.textContent = text;
  clearTimeout(restoreTimers.get(button));
  restoreTimers.set(button, setTimeout(() => {
    button.textContent = button.dataset.label;
  }, 1500));
}
