// sint-http's page in Debian's Chromium, headless: the text typed into the
// page, the button pressed from the keyboard, and the audio that reaches the
// player. Prints one JSON object and saves a screenshot.
// Usage: node browser_page.mjs PORT TEXT SCREENSHOT.png
import puppeteer from 'puppeteer-core';

const [port, text, screenshot] = process.argv.slice(2);
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  // Root in a container has no sandbox; no sound card either.
  args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--mute-audio',
         '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({width: 900, height: 800});
  // Requests that leave the machine (the player's own icons are data: addresses).
  const outside = [];
  page.on('request', (request) => {
    const url = request.url();
    if (/^[a-z]+:\/\//.test(url) && !url.startsWith(`http://127.0.0.1:${port}/`)) outside.push(url);
  });
  await page.goto(`http://127.0.0.1:${port}/`, {waitUntil: 'load'});

  // Every control has a label that names it to a screen reader.
  const snapshot = await page.accessibility.snapshot();
  const names = [];
  const walk = (node) => {
    if (['textbox', 'slider', 'button'].includes(node.role)) names.push(`${node.role}:${node.name}`);
    for (const child of node.children ?? []) walk(child);
  };
  walk(snapshot);

  // The keyboard alone: focus the text box, replace its text, tab to the button.
  await page.focus('#text');
  await page.keyboard.down('Control');
  await page.keyboard.press('KeyA');
  await page.keyboard.up('Control');
  await page.keyboard.type(text);
  let focused = '';
  for (let i = 0; i < 10 && focused !== 'speak'; ++i) {
    await page.keyboard.press('Tab');
    focused = await page.evaluate(() => document.activeElement.id);
  }
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('pripravljen'),
                             {timeout: 30000});
  const audio = await page.evaluate(async () => {
    const player = document.getElementById('player');
    if (!(player.duration > 0))
      await new Promise((resolve) => player.addEventListener('loadedmetadata', resolve, {once: true}));
    const bytes = (await (await fetch(player.src)).arrayBuffer()).byteLength;
    const download = document.getElementById('download');
    return {bytes, duration: player.duration, download: !download.hidden && download.href === player.src,
            status: document.getElementById('status').textContent};
  });
  // The player's controls show the length once they have drawn it.
  await page.waitForFunction(() => document.getElementById('player').readyState >= 1);
  await new Promise((resolve) => setTimeout(resolve, 500));
  await page.screenshot({path: screenshot});
  console.log(JSON.stringify({names, reached_button: focused === 'speak', outside, ...audio}));
} finally {
  await browser.close();
}
