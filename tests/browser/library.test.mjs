// vandrel.js in Chromium, in a plain browser and inside a simulation of the host's message
// channel. The app has no vandrel.js of its own: serve answers the kit's copy.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { launchBrowser, makeApp, startServe, watchedPage } from './helpers.mjs';

const page = '<!DOCTYPE html><meta charset="utf-8"><title>library</title><link rel="icon" href="data:,">';

// Plays window.chrome.webview as the host does: "wrapper-init" gets "directory-handles" with
// thirteen handles in additionalObjects (made in the origin-private file system; the last one
// null, as for a folder the machine lacks), then "wrapper-init-response". Everything the page
// posts is kept in window.posted; window.hostPost(data) posts to the page as an extension would.
function installHost(answer) {
  const channel = new EventTarget();
  window.posted = [];
  const deliver = (data, additionalObjects = []) => {
    const event = new MessageEvent('message', { data });
    Object.defineProperty(event, 'additionalObjects', { value: additionalObjects });
    channel.dispatchEvent(event);
  };
  window.hostPost = deliver;
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(text) {
      window.posted.push(text);
      if (answer && JSON.parse(text).type === 'wrapper-init') {
        setTimeout(async () => {
          const root = await navigator.storage.getDirectory();
          const handles = [];
          for (let i = 0; i < 13; ++i) {
            handles.push(i === 12 ? null : await root.getDirectoryHandle(`folder-${i}`, { create: true }));
          }
          deliver({ type: 'directory-handles' }, handles);
          deliver({ registeredComponentIds: ['com.example.saves'], type: 'wrapper-init-response' });
        }, 10);
      }
    },
    addEventListener: (type, listener) => channel.addEventListener(type, listener),
    removeEventListener: (type, listener) => channel.removeEventListener(type, listener),
  };
}

async function openPage(t, { host }) {
  const server = await startServe(t, makeApp(t, { 'index.html': page }));
  const browser = await launchBrowser(t);
  const tab = await watchedPage(browser);
  if (host) await tab.evaluateOnNewDocument(installHost, host === 'answers');
  await tab.goto(server.startPage);
  await server.waitForLine(/^GET \/index\.html 200 /);
  return { tab, server };
}

test('outside the host: the browser stands in for what it can', { timeout: 60000 }, async (t) => {
  const { tab, server } = await openPage(t, { host: null });
  const result = await tab.evaluate(async () => {
    const v = await import('./vandrel.js');
    const first = await v.connect();
    const second = await v.connect();
    // Saving works: a file written to currentAppData reads back.
    const file = await first.folders.currentAppData.getFileHandle('save.json', { create: true });
    const writable = await file.createWritable();
    await writable.write('{"level":3}');
    await writable.close();
    const saved = await (await file.getFile()).text();
    const nulls = Object.entries(first.folders).filter(([, h]) => h === null).map(([n]) => n);
    const rejected = await v.sendToExtension({ save: 1 }).then(() => 'resolved', (e) => e.message);
    await v.setWindowSize(800, 600);
    await v.setWindowPosition(10, 10);
    const changes = [];
    const stopHearing = v.onFullscreenChange((on) => changes.push(on));
    // The browser tells of a change a frame later: each one is waited for before the next.
    const heardOf = async (count) => {
      for (let i = 0; i < 200 && changes.length < count; ++i) await new Promise((r) => setTimeout(r, 10));
    };
    await v.setFullscreen(true);
    const fullscreenOn = document.fullscreenElement === document.documentElement;
    await heardOf(1);
    await v.setFullscreen(false);
    const fullscreenOff = document.fullscreenElement;
    await heardOf(2);
    stopHearing();
    const guessed = await v.getWindowState();
    await v.setAlwaysOnTop(true);
    await v.setWindowState('minimized');
    await v.log('error', 'nowhere to write');
    const remove = v.onMessage(() => {});
    return {
      inHost: first.inHost, same: first === second, isInHost: v.isInHost(),
      kind: first.folders.currentAppData.kind, saved, nulls, componentIds: first.componentIds,
      rejected, fullscreenOn, fullscreenOff, changes, removeType: typeof remove, guessed,
      innerWidth: window.innerWidth,
      names: Object.keys(first.folders),
    };
  });
  assert.equal(result.inHost, false);
  assert.equal(result.isInHost, false);
  assert.equal(result.same, true);
  assert.equal(result.kind, 'directory');
  assert.equal(result.saved, '{"level":3}');
  assert.deepEqual(result.names, ['app', 'webResource', 'currentAppData', 'localAppData',
    'roamingAppData', 'desktop', 'documents', 'downloads', 'pictures', 'profile', 'savedGames',
    'screenshots', 'videos']);
  assert.deepEqual(result.nulls, result.names.filter((n) => n !== 'currentAppData'));
  assert.deepEqual(result.componentIds, []);
  assert.match(result.rejected, /not running inside the Vandrel host/);
  assert.equal(result.fullscreenOn, true);
  assert.equal(result.fullscreenOff, null);
  assert.deepEqual(result.changes, [true, false]);
  assert.equal(result.guessed.width, result.innerWidth);
  assert.equal(result.guessed.alwaysOnTop, false);
  assert.equal(typeof result.guessed.scale, 'number');
  assert.equal(result.removeType, 'function');
  assert.deepEqual(tab.problems, []);
  await server.waitForLine(/^GET \/vandrel\.js 200 \d+ \S+ kit$/);
});

test('inside the host: connect and every command speak the host protocol', { timeout: 60000 }, async (t) => {
  const { tab } = await openPage(t, { host: 'answers' });
  const result = await tab.evaluate(async () => {
    const v = await import('./vandrel.js');
    const [first, second] = await Promise.all([v.connect(), v.connect()]);
    const third = await v.connect();
    const folders = Object.fromEntries(Object.entries(first.folders).map(([n, h]) => [n, h && h.name]));
    const handshake = window.posted.splice(0);
    await v.setFullscreen(true);
    await v.setFullscreen(false);
    await v.setWindowSize(800, 600);
    await v.setWindowPosition(-20, 40);
    await v.setWindowState('maximized');
    await v.setAlwaysOnTop(1);
    await v.log('warn', 'low memory');
    await v.sendToExtension({ component: 'com.example.saves', slot: 2, data: { gold: 10 } });
    await v.sendToExtension({ type: 'extension-message', ping: true });
    const commands = window.posted.splice(0);
    const badType = await v.sendToExtension({ type: 'save' }).then(() => 'resolved', (e) => e.name);
    const badSize = await v.setWindowSize('800', 600).then(() => 'resolved', (e) => e.name);
    const badState = await v.setWindowState('fullscreen').then(() => 'resolved', (e) => e.name);
    const badLevel = await v.log('debug', 'x').then(() => 'resolved', (e) => e.name);
    // The host answers get-window-state; the reply goes to the caller, not to onMessage.
    const asked = v.getWindowState();
    const askedFor = window.posted.splice(0);
    const replyHeard = [];
    const stopReplies = v.onMessage((data) => replyHeard.push(data));
    window.hostPost({ alwaysOnTop: true, fullscreen: false, height: 600, maximized: true,
      minimized: false, scale: 1.5, type: 'window-state', width: 800, x: -8, y: 0 });
    const state = await asked;
    stopReplies();

    const heard = [];
    const fullscreen = [];
    const remove = v.onMessage((data) => heard.push(data));
    const removeFullscreen = v.onFullscreenChange((on) => fullscreen.push(on));
    window.hostPost({ saved: true });
    window.hostPost({ type: 'wrapper-init-response', registeredComponentIds: [] });
    window.hostPost({ fullscreen: true, type: 'fullscreen-changed' });
    window.hostPost({ fullscreen: false, type: 'fullscreen-changed' });
    remove();
    removeFullscreen();
    window.hostPost({ saved: 'after removal' });
    window.hostPost({ fullscreen: true, type: 'fullscreen-changed' });
    const badListener = (() => { try { v.onFullscreenChange(5); return 'accepted'; } catch (e) { return e.name; } })();
    return {
      inHost: first.inHost, same: first === second && second === third, folders,
      componentIds: first.componentIds, handshake, commands, badType, badSize,
      heard, fullscreen, badListener, posted: window.posted, badState, badLevel, askedFor, state, replyHeard,
    };
  });
  assert.equal(result.inHost, true);
  assert.equal(result.same, true);
  assert.deepEqual(result.handshake, ['{"type":"wrapper-init"}'], 'asked once for three calls');
  assert.deepEqual(result.folders, {
    app: 'folder-0', webResource: 'folder-1', currentAppData: 'folder-2', localAppData: 'folder-3',
    roamingAppData: 'folder-4', desktop: 'folder-5', documents: 'folder-6', downloads: 'folder-7',
    pictures: 'folder-8', profile: 'folder-9', savedGames: 'folder-10', screenshots: 'folder-11',
    videos: null,
  });
  assert.deepEqual(result.componentIds, ['com.example.saves']);
  assert.deepEqual(result.commands, [
    '{"type":"set-fullscreen","fullscreen":true}',
    '{"type":"set-fullscreen","fullscreen":false}',
    '{"type":"set-window-size","windowWidth":800,"windowHeight":600}',
    '{"type":"set-window-position","windowX":-20,"windowY":40}',
    '{"type":"set-window-state","state":"maximized"}',
    '{"type":"set-always-on-top","onTop":true}',
    '{"type":"log","level":"warn","message":"low memory"}',
    '{"type":"extension-message","component":"com.example.saves","slot":2,"data":{"gold":10}}',
    '{"type":"extension-message","ping":true}',
  ]);
  assert.equal(result.badType, 'TypeError');
  assert.equal(result.badSize, 'TypeError');
  assert.equal(result.badState, 'TypeError');
  assert.equal(result.badLevel, 'TypeError');
  assert.deepEqual(result.askedFor, ['{"type":"get-window-state"}']);
  assert.deepEqual(result.state, { alwaysOnTop: true, fullscreen: false, height: 600,
    maximized: true, minimized: false, scale: 1.5, width: 800, x: -8, y: 0 });
  assert.deepEqual(result.replyHeard, []);
  assert.deepEqual(result.heard, [{ saved: true }],
    'handshake replies, full-screen changes and removed listeners hear nothing');
  assert.deepEqual(result.fullscreen, [true, false]);
  assert.equal(result.badListener, 'TypeError');
  assert.deepEqual(result.posted, [], 'rejected commands post nothing');
  assert.deepEqual(tab.problems, []);
});

test('inside a host that does not answer: connect times out, then asks again', { timeout: 60000 }, async (t) => {
  const { tab } = await openPage(t, { host: 'silent' });
  const result = await tab.evaluate(async () => {
    const v = await import('./vandrel.js');
    const started = performance.now();
    const first = await v.connect({ timeoutMs: 200 }).then(() => 'resolved', (e) => e.message);
    const waited = performance.now() - started;
    const second = await v.connect({ timeoutMs: 50 }).then(() => 'resolved', (e) => e.message);
    return { first, waited, second, posted: window.posted };
  });
  assert.match(result.first, /did not answer "wrapper-init" within 200 ms/);
  assert.ok(result.waited >= 190 && result.waited < 2000, `waited ${result.waited} ms`);
  assert.match(result.second, /within 50 ms/);
  assert.deepEqual(result.posted, ['{"type":"wrapper-init"}', '{"type":"wrapper-init"}']);
});
