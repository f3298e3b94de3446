// `vandrel serve` over plain HTTP: methods, the log, the kit's page library, --bundle-only,
// the loopback address, refusals on the command line and a clean stop.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';
import { test } from 'node:test';
import {
  launchBrowser, makeApp, packBundle, repo, runTool, startServe, tempFolder, writeFiles,
} from './helpers.mjs';
import { spawnSync } from 'node:child_process';

const app = { 'index.html': '<!DOCTYPE html><title>x</title>', 'game.js': 'let score = 0;\n' };

/** One request with node's http client (keeps the method and the exact target). */
function request(origin, method, target, headers = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request(`${origin}${target}`, { method, headers, agent: false }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks).toString() }));
    });
    req.on('error', reject);
    req.end(method === 'POST' ? 'a=1' : undefined);
  });
}

test('methods: GET and HEAD are answered alike, others get 405', { timeout: 30000 }, async (t) => {
  const server = await startServe(t, makeApp(t, app));
  const get = await request(server.origin, 'GET', '/game.js');
  const head = await request(server.origin, 'HEAD', '/game.js');
  assert.equal(get.status, 200);
  assert.equal(get.body, app['game.js']);
  assert.equal(head.status, 200);
  assert.equal(head.body, '');
  for (const name of ['content-type', 'content-length', 'cache-control', 'accept-ranges']) {
    assert.equal(head.headers[name], get.headers[name], name);
  }
  const missing = await request(server.origin, 'HEAD', '/nothing.js');
  assert.equal(missing.status, 404);
  assert.equal(missing.headers['content-length'], '14');
  assert.equal(missing.headers['content-type'], undefined);
  for (const method of ['POST', 'PUT', 'DELETE', 'OPTIONS', 'PATCH']) {
    const answer = await request(server.origin, method, '/game.js');
    assert.equal(answer.status, 405, method);
    assert.equal(answer.headers.allow, 'GET, HEAD', method);
  }
  const log = await server.waitForLine(/^PATCH /);
  assert.match(log, /^PATCH \/game\.js 405 0 \d+\.\dms$/);
  assert.match(server.requests()[0], /^GET \/game\.js 200 15 \d+\.\dms folder$/);
  assert.match(server.requests()[1], /^HEAD \/game\.js 200 0 \d+\.\dms folder$/);
});

test('keep-alive: several requests on one connection, ranges included', { timeout: 30000 }, async (t) => {
  const server = await startServe(t, makeApp(t, app));
  const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
  t.after(() => agent.destroy());
  const sockets = new Set();
  for (const range of [undefined, 'bytes=4-8', 'bytes=100-', undefined]) {
    const answer = await new Promise((resolve, reject) => {
      const req = http.get(`${server.origin}/game.js`, { agent, headers: range ? { range } : {} }, (res) => {
        sockets.add(res.socket);
        let body = '';
        res.on('data', (c) => { body += c; });
        res.on('end', () => resolve({ status: res.statusCode, body, range: res.headers['content-range'] }));
      });
      req.on('error', reject);
    });
    if (range === 'bytes=4-8') assert.deepEqual(answer, { status: 206, body: 'score', range: 'bytes 4-8/15' });
    else if (range) assert.equal(answer.status, 416);
    else assert.equal(answer.body, app['game.js']);
  }
  assert.equal(sockets.size, 1, 'one connection served all four');
  await server.waitForLine(/^GET \/game\.js 206 5 \S+ folder bytes 4-8\/15$/);
});

test('the kit answers vandrel.js only when the app has none', { timeout: 30000 }, async (t) => {
  const kit = fs.readFileSync(path.join(repo, 'page/vandrel.js'), 'utf8');
  const plain = await startServe(t, makeApp(t, app));
  const fromKit = await request(plain.origin, 'GET', '/vandrel.js?v=1');
  assert.equal(fromKit.status, 200);
  assert.equal(fromKit.body, kit);
  assert.equal(fromKit.headers['content-type'], 'application/javascript; charset=utf-8');
  assert.equal((await request(plain.origin, 'GET', '/lib/vandrel.js')).status, 404);
  assert.equal((await request(plain.origin, 'GET', '/Vandrel.js')).status, 404);

  const own = makeApp(t, { ...app, 'vandrel.js': 'export const mine = 1;\n' });
  const inFolder = await startServe(t, own);
  assert.equal((await request(inFolder.origin, 'GET', '/vandrel.js')).body, 'export const mine = 1;\n');
  packBundle(own, { only: true });
  const inBundle = await startServe(t, own, ['--bundle-only']);
  assert.equal((await request(inBundle.origin, 'GET', '/vandrel.js')).body, 'export const mine = 1;\n');
  await inBundle.waitForLine(/^GET \/vandrel\.js 200 23 \S+ bundle$/);
});

test('--bundle-only answers from the bundle alone; --quiet logs nothing', { timeout: 30000 }, async (t) => {
  const folder = makeApp(t, app);
  packBundle(folder);
  fs.writeFileSync(path.join(folder, 'www/late.png'), 'not packed');
  const full = await startServe(t, folder);
  assert.equal((await request(full.origin, 'GET', '/late.png')).status, 200);
  const only = await startServe(t, folder, ['--bundle-only', '--quiet']);
  assert.equal((await request(only.origin, 'GET', '/late.png')).status, 404);
  assert.equal((await request(only.origin, 'GET', '/game.js')).status, 200);
  assert.match(only.lines[0], /assets\.dat \(2 files\) to this machine only/);
  assert.deepEqual(only.requests(), []);
  assert.equal((await only.stop()).code, 0);
});

test('listens on 127.0.0.1 only, on the port asked for', { timeout: 30000 }, async (t) => {
  const first = await startServe(t, makeApp(t, app));
  const port = new URL(first.origin).port;
  await first.stop();
  const server = await startServe(t, makeApp(t, app), ['--port', port]);
  assert.equal(server.startPage, `http://127.0.0.1:${port}/index.html`);
  assert.equal((await request(server.origin, 'GET', '/game.js')).status, 200);
  // Another loopback address of this machine is not listened on.
  const refused = await new Promise((resolve) => {
    const socket = net.connect({ host: '127.0.0.2', port: Number(port) });
    socket.on('connect', () => { socket.destroy(); resolve(false); });
    socket.on('error', () => resolve(true));
  });
  assert.equal(refused, true);
  // The port is taken now: a second server says so.
  const busy = runTool(['serve', makeApp(t, app), '--port', port]);
  assert.equal(busy.code, 1);
  assert.match(busy.stderr, new RegExp(`cannot listen on 127\\.0\\.0\\.1:${port}`));
});

test('Ctrl+C stops the server cleanly with open connections', { timeout: 30000 }, async (t) => {
  const server = await startServe(t, makeApp(t, app));
  const socket = net.connect({ host: '127.0.0.1', port: Number(new URL(server.origin).port) });
  await new Promise((r) => socket.on('connect', r));
  socket.write(`GET /game.js HTTP/1.1\r\nHost: ${new URL(server.origin).host}\r\n\r\n`);
  await server.waitForLine(/^GET \/game\.js 200 /);
  const closed = new Promise((r) => socket.on('close', r));
  socket.on('error', () => {});
  socket.resume();  // read the answer, so that the end of the connection is seen
  const exit = await server.stop();
  await closed;
  assert.deepEqual(exit, { code: 0, signal: null });
  assert.equal(server.lines.at(-1), 'Stopped.');
  assert.equal(server.stderr, '');
});

const refusals = [
  // [what, package.json text (null: none), extra arguments, exit code, error pattern]
  ['remote mode', '{"name":"x","main":"https://example.com/","settings":{"content-mode":"remote"}}',
    [], 2, /content-mode to "remote": the app is the page at 'https:\/\/example\.com\/', so there is nothing to serve/],
  ['no package.json', null, [], 1, /cannot read '.*package\.json': No such file/],
  ['broken JSON', '{"name": "x",}', [], 1, /package\.json' is not valid JSON: parse error at line 1, column 14/],
  ['bad mode', '{"name":"x","settings":{"content-mode":"Bundle"}}', [], 1,
    /settings\.content-mode must be "bundle" or "remote" \(case-sensitive\)/],
  ['empty name', '{"name":""}', [], 1, /"name" must be a non-empty text/],
  ['no bundle', '{"name":"x"}', ['--bundle-only'], 1, /--bundle-only: there is no bundle '.*assets\.dat'/],
  ['another address', '{"name":"x"}', ['--host', '0.0.0.0'], 2, /listens on 127\.0\.0\.1 only/],
  ['bad port', '{"name":"x"}', ['--port', '70000'], 2, /--port takes a number from 0 to 65535/],
  ['two folders', '{"name":"x"}', ['other'], 2, /serve takes one app folder/],
];

test('refusals name the file, the key or the option, with the right exit code', { timeout: 30000 }, (t) => {
  for (const [what, packageJson, args, code, pattern] of refusals) {
    const folder = makeApp(t, app);
    if (packageJson === null) fs.rmSync(path.join(folder, 'package.json'));
    else fs.writeFileSync(path.join(folder, 'package.json'), packageJson);
    const result = runTool(['serve', folder, ...args]);
    assert.equal(result.code, code, `${what}: ${result.stderr}`);
    assert.match(result.stderr, pattern, what);
    assert.equal(result.stdout, '', what);
  }
});

test('only this machine\'s own names are answered, and not for other sites\' pages', { timeout: 30000 }, async (t) => {
  const server = await startServe(t, makeApp(t, app));
  const port = new URL(server.origin).port;
  const cases = [
    // [headers, status]
    [{ host: `127.0.0.1:${port}` }, 200],
    [{ host: `LOCALHOST:${port}` }, 200],
    [{ host: `[::1]:${port}` }, 200],
    [{ host: `evil.example:${port}` }, 403],
    [{ host: `127.0.0.1:${Number(port) + 1}` }, 403],
    [{ host: '127.0.0.1' }, 403],
    [{ host: `localhost:${port}`, origin: `http://localhost:${port}` }, 200],
    [{ host: `localhost:${port}`, origin: 'https://evil.example' }, 403],
    [{ host: `localhost:${port}`, origin: 'null' }, 403],
    [{ host: `localhost:${port}`, 'sec-fetch-site': 'same-origin', 'sec-fetch-dest': 'script' }, 200],
    [{ host: `localhost:${port}`, 'sec-fetch-site': 'cross-site', 'sec-fetch-dest': 'script', 'sec-fetch-mode': 'no-cors' }, 403],
    [{ host: `localhost:${port}`, 'sec-fetch-site': 'cross-site', 'sec-fetch-dest': 'document', 'sec-fetch-mode': 'navigate' }, 200],
    [{ host: `localhost:${port}`, 'sec-fetch-site': 'cross-site', 'sec-fetch-dest': 'iframe', 'sec-fetch-mode': 'navigate' }, 403],
  ];
  for (const [headers, status] of cases) {
    const answer = await request(server.origin, 'GET', '/game.js', headers);
    assert.equal(answer.status, status, JSON.stringify(headers));
    if (status === 403) {
      assert.equal(answer.body, 'Forbidden');
      assert.equal(answer.headers['cache-control'], 'no-store');
    }
  }
  // A request without a Host header (HTTP/1.0), and one whose target names another server.
  for (const raw of ['GET /game.js HTTP/1.0\r\n\r\n',
    `GET http://evil.example:${port}/game.js HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\n\r\n`]) {
    const answer = await new Promise((resolve) => {
      const socket = net.connect({ host: '127.0.0.1', port: Number(port) }, () => socket.end(raw));
      let text = '';
      socket.on('data', (c) => { text += c; });
      socket.on('close', () => resolve(text));
    });
    assert.match(answer, /^HTTP\/1\.[01] 403 Forbidden/, raw);
  }
  await server.waitForLine(/^GET \/game\.js 403 9 \S+ \(refused: Host 'evil\.example:\d+' is not this server's name; only 127\.0\.0\.1:\d+, localhost:\d+ and \[::1\]:\d+ are answered\)$/);
  await server.waitForLine(/\(refused: the request comes from the page of another site, Origin 'https:\/\/evil\.example'\)$/);
});

test('in Chromium: a rebound name and another site\'s page get nothing', { timeout: 60000 }, async (t) => {
  const server = await startServe(t, makeApp(t, { ...app, 'data.json': '{"secret":1}' }));
  const port = new URL(server.origin).port;
  // A site whose name its owner points at 127.0.0.1, and a page on another site (127.0.0.1 and
  // localhost are different sites) that tries to use the app's files.
  const other = await startServe(t, makeApp(t, {
    'index.html': `<!DOCTYPE html><script src="http://localhost:${port}/game.js"></script>
      <script>fetch('http://localhost:${port}/data.json', { mode: 'cors' }).catch(() => {});</script>`,
  }));
  const browser = await launchBrowser(t, ['--host-resolver-rules=MAP rebound.test 127.0.0.1']);
  const page = await browser.newPage();
  const rebound = await page.goto(`http://rebound.test:${port}/data.json`);
  assert.equal(rebound.status(), 403);
  assert.equal(await page.evaluate(() => document.body.textContent), 'Forbidden');
  await page.goto(other.startPage, { waitUntil: 'load' });
  assert.equal(await page.evaluate(() => typeof score), 'undefined', 'the script was not served');
  await server.waitForLine(/^GET \/game\.js 403 .*Sec-Fetch-Site: cross-site/);
  await server.waitForLine(/^GET \/data\.json 403 .*Origin 'http:\/\/127\.0\.0\.1:\d+'/);
  // Following a link to the app from another site opens it: that site cannot read the page.
  await page.evaluate((url) => { window.location.href = url; }, `http://localhost:${port}/game.js`);
  await page.waitForFunction(() => document.body && document.body.textContent.includes('score'));
});

test('links in www are followed only inside it; pipes and devices are not read', { timeout: 30000 }, async (t) => {
  const outside = tempFolder(t);
  writeFiles(outside, { 'secret.txt': 'private key' });
  const folder = makeApp(t, { ...app, 'sub/inner.txt': 'inner' });
  const www = path.join(folder, 'www');
  fs.symlinkSync(outside, path.join(www, 'out'));
  fs.symlinkSync(path.join(outside, 'secret.txt'), path.join(www, 'secret.txt'));
  fs.symlinkSync(path.join(www, 'sub'), path.join(www, 'alias'));
  spawnSync('mkfifo', [path.join(www, 'pipe.txt')]);
  fs.symlinkSync('/dev/zero', path.join(www, 'zero.bin'));
  const server = await startServe(t, folder);
  const get = (target) => request(server.origin, 'GET', target);
  assert.equal((await get('/out/secret.txt')).status, 404);
  assert.equal((await get('/secret.txt')).status, 404);
  assert.equal((await get('/alias/inner.txt')).body, 'inner');
  assert.equal((await get('/pipe.txt')).status, 500);
  assert.equal((await get('/zero.bin')).status, 404);
  assert.equal((await get('/game.js')).status, 200, 'the server goes on answering');
  await server.waitForLine(/^GET \/out\/secret\.txt 404 \S+ \S+ \(refused: the link 'out' leads outside '.*www' \(to '.*'\)\)$/);
  await server.waitForLine(/^GET \/pipe\.txt 500 .*pipe\.txt' is not a regular file\)$/);

  // package.json and www themselves must lie in the app folder, and be what they seem.
  for (const [what, setup, pattern] of [
    ['www leads outside', (f) => { fs.rmSync(path.join(f, 'www'), { recursive: true }); fs.symlinkSync('/', path.join(f, 'www')); },
      /refusing to serve '.*www': the link 'www' leads outside/],
    ['package.json is a pipe', (f) => { fs.rmSync(path.join(f, 'package.json')); spawnSync('mkfifo', [path.join(f, 'package.json')]); },
      /package\.json': it is not a regular file/],
    ['package.json is /dev/zero', (f) => { fs.rmSync(path.join(f, 'package.json')); fs.symlinkSync('/dev/zero', path.join(f, 'package.json')); },
      /refusing to read '.*package\.json': the link 'package\.json' leads outside/],
  ]) {
    const app2 = makeApp(t, app);
    setup(app2);
    const result = runTool(['serve', app2]);
    assert.equal(result.code, 1, what);
    assert.match(result.stderr, pattern, what);
  }
});

test('names with terminal controls are logged escaped', { timeout: 30000 }, async (t) => {
  const server = await startServe(t, makeApp(t, app));
  await request(server.origin, 'GET', '/%1B%5B31mred%E2%80%AE.js');
  await new Promise((resolve) => {
    const socket = net.connect({ host: '127.0.0.1', port: Number(new URL(server.origin).port) }, () =>
      socket.end(`GET /a\u202eb\u009b2J HTTP/1.1\r\nHost: ${new URL(server.origin).host}\r\n\r\n`));
    socket.on('close', resolve);
    socket.resume();
  });
  await server.waitForLine(/^GET \/a\\u202eb\\u009b2J 404 /);
  for (const line of server.lines) assert.doesNotMatch(line, /[\x00-\x1f\x7f\u202e]/);
});
