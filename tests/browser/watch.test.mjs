// `vandrel serve --watch` in Chromium: a saved file reloads the open page once, a burst of writes
// once, a bundle that changes is read anew, a broken package.json keeps the last good one, and
// without --watch nothing is added.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { test } from 'node:test';
import { launchBrowser, makeApp, packBundle, startServe, watchedPage } from './helpers.mjs';

const page = (text) => `<!DOCTYPE html><html><body><p id="text">${text}</p></body></html>`;
const loads = (server) => server.requests().filter((l) => l.startsWith('GET /index.html 200')).length;
const reloads = (server) => server.lines.filter((l) => l.startsWith('changed: ')).length;

async function openWatched(t, www, packageJson) {
  const app = makeApp(t, { 'favicon.ico': 'icon', ...www }, packageJson);
  const server = await startServe(t, app, ['--watch']);
  const browser = await launchBrowser(t);
  const tab = await watchedPage(browser);
  await tab.goto(`${server.origin}/index.html`);
  await server.waitForLine(/^GET \/:vandrel\/live 200/);
  return { app, server, tab };
}

test('serve --watch: a saved file reloads the page, once', { timeout: 60000 }, async (t) => {
  const { app, server, tab } = await openWatched(t, { 'index.html': page('first') });
  assert.equal(await tab.$eval('#text', (e) => e.textContent), 'first');
  fs.writeFileSync(path.join(app, 'www/index.html'), page('second'));
  await tab.waitForFunction(() => document.querySelector('#text')?.textContent === 'second');
  await sleep(1000);
  assert.equal(loads(server), 2, server.lines.join('\n'));
  assert.equal(reloads(server), 1);
  assert.deepEqual(tab.problems, []);
});

test('serve --watch: a burst of writes is one reload', { timeout: 60000 }, async (t) => {
  const { app, server, tab } = await openWatched(t, { 'index.html': page('a'), 'game.js': '' });
  // As an editor saves: a new file under a temporary name, written in pieces, renamed over the
  // old one, and its time set.
  const file = path.join(app, 'www/game.js');
  const temporary = `${file}.swp`;
  const handle = fs.openSync(temporary, 'w');
  fs.writeSync(handle, 'let score = ');
  await sleep(20);
  fs.writeSync(handle, '1;\n');
  fs.closeSync(handle);
  fs.renameSync(temporary, file);
  fs.utimesSync(file, new Date(), new Date());
  await server.waitForLine(/^changed: 1 page told to reload/);
  await tab.waitForFunction(() => document.readyState === 'complete');
  await sleep(1500);
  assert.equal(reloads(server), 1, server.lines.join('\n'));
  assert.equal(loads(server), 2);
  assert.deepEqual(tab.problems, []);
});

test('serve --watch: a new bundle is read again', { timeout: 60000 }, async (t) => {
  const app = makeApp(t, { 'index.html': page('loose') });
  const server = await startServe(t, app, ['--watch']);
  fs.writeFileSync(path.join(app, 'www/index.html'), page('packed'));
  packBundle(app);
  fs.writeFileSync(path.join(app, 'www/index.html'), page('loose again'));
  await server.waitForLine(/^changed: /);
  const answer = await fetch(`${server.origin}/index.html`);
  assert.match(await answer.text(), /packed/);
});

test('serve --watch: a broken package.json keeps the last good one', { timeout: 60000 }, async (t) => {
  // The settings show in the answers: cross-origin isolation adds its headers.
  const isolated = { name: 'test-app', settings: { 'cross-origin-isolation': true } };
  const { app, server } = await openWatched(t, { 'index.html': page('x') }, isolated);
  const opener = async () => (await fetch(`${server.origin}/index.html`)).headers
    .get('cross-origin-opener-policy');
  assert.equal(await opener(), 'same-origin');
  fs.writeFileSync(path.join(app, 'package.json'), '{"name": "test-app", "settings": ');
  // Said on standard error, as every warning of serve.
  while (!/package\.json/.test(server.stderr)) await sleep(50);
  assert.match(server.stderr, /^vandrel: warning: .*package\.json' is not valid JSON: .*; serving with the last good settings\n$/);
  assert.equal(await opener(), 'same-origin', 'the last good settings');
  fs.writeFileSync(path.join(app, 'package.json'), JSON.stringify({ name: 'test-app' }));
  await server.waitForLine(/^changed: 1 page/);
  await sleep(300);
  assert.equal(await opener(), null, 'the mended settings');
});

test('serve without --watch adds nothing and has no live paths', { timeout: 30000 }, async (t) => {
  const html = page('plain');
  const plain = await startServe(t, makeApp(t, { 'index.html': html }));
  assert.equal(await (await fetch(`${plain.origin}/index.html`)).text(), html);
  for (const target of ['/:vandrel/live', '/:vandrel/live.js']) {
    assert.equal((await fetch(`${plain.origin}${target}`)).status, 404, target);
  }
  const watching = await startServe(t, makeApp(t, { 'index.html': html }), ['--watch']);
  const served = await (await fetch(`${watching.origin}/index.html`)).text();
  assert.equal(served, html.replace('</body>', '<script src="/:vandrel/live.js"></script></body>'));
  assert.equal((await fetch(`${watching.origin}/:vandrel/live.js`)).status, 200);
});
