// Shared by the browser tests: app folders in temporary space, `vandrel serve` as a child
// process with its log, and Debian's Chromium driven through puppeteer-core.

import { spawn, spawnSync } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repo = path.resolve(here, '../..');
export const tool = process.env.VANDREL_TOOL || path.join(repo, 'build/native/bin/vandrel');
export const chromium = process.env.VANDREL_CHROMIUM || '/usr/bin/chromium';

/** A fresh temporary folder, removed when the test ends. */
export function tempFolder(t, prefix = 'vandrel-browser-') {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

/** Writes files (name -> text or Buffer) under folder, making folders on the way. */
export function writeFiles(folder, files) {
  for (const [name, content] of Object.entries(files)) {
    const file = path.join(folder, name);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, content);
  }
}

/** An app folder with package.json and the given www files. */
export function makeApp(t, www, packageJson = { name: 'test-app' }) {
  const app = tempFolder(t);
  writeFiles(app, { 'package.json': JSON.stringify(packageJson) });
  writeFiles(path.join(app, 'www'), www);
  return app;
}

/** Runs the tool to completion. */
export function runTool(args) {
  const result = spawnSync(tool, args, { encoding: 'utf8' });
  return { code: result.status, stdout: result.stdout, stderr: result.stderr };
}

/** Packs app/www into app/www/assets.dat; with `only`, the loose files are removed after. */
export function packBundle(app, { only = false } = {}) {
  const www = path.join(app, 'www');
  const result = runTool(['pack', www, '-o', path.join(www, 'assets.dat')]);
  if (result.code !== 0) throw new Error(`vandrel pack failed: ${result.stderr}`);
  if (only) {
    for (const entry of fs.readdirSync(www)) {
      if (entry !== 'assets.dat') fs.rmSync(path.join(www, entry), { recursive: true });
    }
  }
}

/**
 * Starts `vandrel serve APP ...args` and resolves once it prints its start page. The result has
 * the start page's address, the origin, the log lines so far (stdout) and the error text.
 */
export async function startServe(t, app, args = []) {
  const child = spawn(tool, ['serve', app, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  const server = { child, lines: [], stderr: '', exit: null };
  server.exited = once(child, 'exit').then(([code, signal]) => {
    server.exit = { code, signal };
    return server.exit;
  });
  let pending = '';
  const waiters = new Set();
  child.stdout.setEncoding('utf8');
  child.stdout.on('data', (chunk) => {
    pending += chunk;
    const parts = pending.split('\n');
    pending = parts.pop();
    server.lines.push(...parts);
    for (const waiter of [...waiters]) waiter();
  });
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (chunk) => { server.stderr += chunk; });

  /** Resolves with the first log line that matches, waiting up to timeoutMs for it. */
  server.waitForLine = (pattern, timeoutMs = 10000) => new Promise((resolve, reject) => {
    const check = () => {
      const line = server.lines.find((l) => pattern.test(l));
      if (line !== undefined) {
        waiters.delete(check);
        clearTimeout(timer);
        resolve(line);
      }
    };
    const timer = setTimeout(() => {
      waiters.delete(check);
      reject(new Error(`no line matching ${pattern} in:\n${server.lines.join('\n')}\n${server.stderr}`));
    }, timeoutMs);
    waiters.add(check);
    check();
    server.exited.then(() => { if (waiters.has(check)) { waiters.delete(check); clearTimeout(timer); reject(new Error(`serve exited: ${server.stderr}`)); } });
  });

  /** Lines that log requests (METHOD TARGET STATUS ...). */
  server.requests = () => server.lines.filter((l) => /^[A-Z]+ \S+ \d{3} /.test(l));

  /** Stops the server with SIGINT and resolves with its exit. */
  server.stop = async () => {
    if (!server.exit) child.kill('SIGINT');
    return server.exited;
  };
  t.after(async () => {
    if (!server.exit) {
      child.kill('SIGKILL');
      await server.exited;
    }
  });

  const line = await server.waitForLine(/^Start page: http:\/\/127\.0\.0\.1:\d+\//);
  server.startPage = line.slice('Start page: '.length);
  server.origin = new URL(server.startPage).origin;
  return server;
}

/** Launches headless Chromium with a fresh profile, closed when the test ends. */
export async function launchBrowser(t, extraArgs = []) {
  const profile = tempFolder(t, 'vandrel-chromium-');
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required', ...extraArgs],
  });
  t.after(() => browser.close());
  return browser;
}

/**
 * A new page that records console errors, uncaught exceptions, failed requests and answers of
 * 400 and more, in page.problems.
 */
export async function watchedPage(browser) {
  const page = await browser.newPage();
  page.problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') page.problems.push(`console error: ${message.text()}`);
  });
  page.on('pageerror', (error) => page.problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => {
    // A request the page cancelled itself (pdf.js does, once it has what it needs) is no fault.
    if (request.failure()?.errorText === 'net::ERR_ABORTED') return;
    page.problems.push(`failed request: ${request.url()} ${request.failure()?.errorText}`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) page.problems.push(`answer ${response.status()}: ${response.url()}`);
  });
  return page;
}
