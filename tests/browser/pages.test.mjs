// Real pages in Chromium through `vandrel serve`: the example app, a third-party app from npm
// packed into a bundle, video seeking over byte ranges, and awkward file names.

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import {
  launchBrowser, makeApp, packBundle, repo, startServe, tempFolder, watchedPage, writeFiles,
} from './helpers.mjs';

const here = path.dirname(new URL(import.meta.url).pathname);

test('examples/hello loads with no console error and no failed request', { timeout: 60000 }, async (t) => {
  const server = await startServe(t, path.join(repo, 'examples/hello'));
  const browser = await launchBrowser(t);
  const page = await watchedPage(browser);
  await page.goto(server.startPage, { waitUntil: 'networkidle0' });
  await page.waitForFunction(
    () => document.getElementById('bridge-status').textContent.startsWith('Not running inside'));
  const folders = await page.$$eval('#folders li', (items) => items.map((i) => i.textContent));
  assert.equal(folders.length, 13);
  assert.match(folders[2], /^currentAppData: \(origin-private storage\)$/);
  assert.deepEqual(page.problems, []);
  // The example has no vandrel.js of its own: the kit's copy answered it.
  await server.waitForLine(/^GET \/vandrel\.js 200 \d+ \S+ kit$/);
  assert.deepEqual(server.requests().filter((l) => !/ (200|206) /.test(l)), []);
});

// A minimal PDF with one line of Helvetica text and a note annotation (which the viewer shows
// with one of its images).
function makePdf() {
  const objects = [
    '<< /Type /Catalog /Pages 2 0 R >>',
    '<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
    '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R ' +
      '/Resources << /Font << /F1 5 0 R >> >> /Annots [6 0 R] >>',
    null,
    '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>',
    '<< /Type /Annot /Subtype /Text /Rect [250 150 270 170] /Contents (A note) /Name /Note >>',
  ];
  const content = 'BT /F1 18 Tf 20 100 Td (Served from a bundle) Tj ET';
  objects[3] = `<< /Length ${content.length} >>\nstream\n${content}\nendstream`;
  let pdf = '%PDF-1.4\n';
  const offsets = [];
  objects.forEach((body, i) => {
    offsets.push(pdf.length);
    pdf += `${i + 1} 0 obj\n${body}\nendobj\n`;
  });
  const xref = pdf.length;
  pdf += `xref\n0 ${objects.length + 1}\n0000000000 65535 f \n`;
  for (const offset of offsets) pdf += `${String(offset).padStart(10, '0')} 00000 n \n`;
  pdf += `trailer\n<< /Size ${objects.length + 1} /Root 1 0 R >>\nstartxref\n${xref}\n%%EOF\n`;
  return pdf;
}

const viewerPage = `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>PDF viewer</title>
<link rel="icon" href="pdfjs/web/images/toolbarButton-pageDown.svg">
<link rel="stylesheet" href="pdfjs/web/pdf_viewer.css">
<style>#viewerContainer { position: absolute; inset: 0; overflow: auto; }</style>
</head><body>
<div id="viewerContainer"><div id="viewer" class="pdfViewer"></div></div>
<script type="module">
import * as pdfjsLib from './pdfjs/build/pdf.mjs';
globalThis.pdfjsLib = pdfjsLib;
const { EventBus, PDFLinkService, PDFViewer } = await import('./pdfjs/web/pdf_viewer.mjs');
pdfjsLib.GlobalWorkerOptions.workerSrc = './pdfjs/build/pdf.worker.mjs';
const eventBus = new EventBus();
const linkService = new PDFLinkService({ eventBus });
const viewer = new PDFViewer({
  container: document.getElementById('viewerContainer'), eventBus, linkService,
  imageResourcesPath: './pdfjs/web/images/',
});
linkService.setViewer(viewer);
eventBus.on('annotationlayerrendered', () => { document.body.dataset.annotations = 'done'; });
eventBus.on('textlayerrendered', () => { document.body.dataset.text = 'done'; });
const pdf = await pdfjsLib.getDocument({
  url: 'docs/sample.pdf', useSystemFonts: false,
  standardFontDataUrl: './pdfjs/standard_fonts/', cMapUrl: './pdfjs/cmaps/', cMapPacked: true,
}).promise;
viewer.setDocument(pdf);
linkService.setDocument(pdf);
</script></body></html>
`;

test('a third-party app from npm (pdf.js viewer) loads from a bundle alone', { timeout: 60000 }, async (t) => {
  const pdfjs = path.join(here, 'node_modules/pdfjs-dist');
  const app = makeApp(t, { 'index.html': viewerPage, 'docs/sample.pdf': makePdf() });
  const www = path.join(app, 'www');
  for (const part of ['build', 'web', 'standard_fonts', 'cmaps']) {
    fs.cpSync(path.join(pdfjs, part), path.join(www, 'pdfjs', part), { recursive: true });
  }
  packBundle(app, { only: true });

  const server = await startServe(t, app, ['--bundle-only']);
  const browser = await launchBrowser(t);
  const page = await watchedPage(browser);
  await page.goto(server.startPage, { waitUntil: 'networkidle0' });
  await page.waitForFunction(
    () => document.body.dataset.text === 'done' && document.body.dataset.annotations === 'done');
  const text = await page.$eval('.textLayer', (layer) => layer.textContent);
  assert.match(text, /Served from a bundle/);
  assert.ok(await page.$('.annotationLayer img[src$="annotation-note.svg"]'));
  // Let the image arrive before the checks.
  await page.waitForNetworkIdle({ idleTime: 300 });
  assert.deepEqual(page.problems, []);

  const requests = server.requests();
  assert.deepEqual(requests.filter((l) => !/ 200 \d+ \S+ bundle$/.test(l)), [],
    'every request was answered 200 from the bundle');
  for (const kind of [/\.mjs /, /\.css /, /\/standard_fonts\/\S+\.(pfb|ttf) /, /\/images\/\S+\.svg /,
    /\.pdf /]) {
    assert.ok(requests.some((l) => kind.test(l)), `a request for ${kind} in\n${requests.join('\n')}`);
  }
});

test('a video seeks to its middle and plays over 206 answers', { timeout: 60000 }, async (t) => {
  const app = makeApp(t, {
    'index.html': '<!DOCTYPE html><meta charset="utf-8"><title>clip</title><link rel="icon" href="data:,">' +
      '<video id="v" src="media/clip.webm" preload="metadata" muted></video>',
  });
  const clip = path.join(app, 'www/media/clip.webm');
  fs.mkdirSync(path.dirname(clip));
  // 24 seconds of VP8 noise, about 36 MB: far more than the loopback socket buffers hold, so the
  // browser cannot have the whole file from its first answer and must ask for ranges to seek. A
  // key frame every second; the cues that seeking needs sit at the end.
  const ffmpeg = spawnSync('ffmpeg', ['-v', 'error', '-f', 'lavfi', '-i',
    "nullsrc=s=320x240:r=25:d=24,geq=lum='random(1)*255':cb=128:cr=128", '-c:v', 'libvpx',
    '-b:v', '16M', '-minrate', '16M', '-maxrate', '16M', '-g', '25', '-deadline', 'realtime',
    '-cpu-used', '8', clip]);
  assert.equal(ffmpeg.status, 0, String(ffmpeg.stderr));
  packBundle(app);

  const server = await startServe(t, app);
  const browser = await launchBrowser(t);
  const page = await watchedPage(browser);
  await page.goto(server.startPage);
  const result = await page.evaluate(async () => {
    const video = document.getElementById('v');
    if (video.readyState < 1) await new Promise((r) => video.addEventListener('loadedmetadata', r, { once: true }));
    const middle = video.duration / 2;
    const seeked = new Promise((r) => video.addEventListener('seeked', r, { once: true }));
    video.currentTime = middle;
    await seeked;
    await video.play();
    await new Promise((resolve) => {
      const check = () => (video.currentTime > middle + 0.5 ? resolve() : requestAnimationFrame(check));
      check();
    });
    video.pause();
    return { duration: video.duration, middle, time: video.currentTime, error: video.error };
  });
  assert.ok(result.duration > 23.5 && result.duration < 24.5, JSON.stringify(result));
  assert.equal(result.error, null);
  assert.deepEqual(page.problems, []);
  // An answer still being read is logged when it ends: closing the page ends them all.
  await page.close();
  // At least one answer started past the first byte: the browser jumped inside the file. (The
  // browser may have stopped reading it before its end, which the line then says.)
  await server.waitForLine(/^GET \/media\/clip\.webm 206 \d+ \S+ bundle bytes [1-9]\d*-\d+\/\d+( |$)/);
});

// What the host gives for awkward names, from a bundle and from the folder.
const nameFiles = {
  'with space.txt': 'space',
  'café €.txt': 'accents',
  'a+b.txt': 'plus',
  'Upper.txt': 'upper',
  'data.json': '{"ok":true}',
};

const nameCases = [
  // [request as written in the page, answer from the bundle, answer from the folder]
  ['with space.txt', [200, 'space'], [200, 'space']],
  ['with%20space.txt', [200, 'space'], [200, 'space']],
  ['café €.txt', [200, 'accents'], [200, 'accents']],
  ['caf%C3%A9%20%E2%82%AC.txt', [200, 'accents'], [200, 'accents']],
  ['a+b.txt', [200, 'plus'], [200, 'plus']],
  ['a%2Bb.txt', [200, 'plus'], [200, 'plus']],
  ['a b.txt', [404, 'File not found'], [404, 'File not found']],  // "+" is no space
  ['data.json?v=2', [200, '{"ok":true}'], [200, '{"ok":true}']],
  ['data.json%3Fv=2', [404, 'File not found'], [404, 'File not found']],
  ['Upper.txt', [200, 'upper'], [200, 'upper']],
  // The bundle's names are exact; the Windows folder ignores case.
  ['upper.txt', [404, 'File not found'], [200, 'upper']],
  ['UPPER.TXT', [404, 'File not found'], [200, 'upper']],
];

for (const where of ['bundle', 'folder']) {
  test(`fetch of awkward names from the ${where} gets what the host gives`, { timeout: 60000 }, async (t) => {
    const app = makeApp(t, { 'index.html': '<!DOCTYPE html><title>names</title><link rel="icon" href="data:,">', ...nameFiles });
    if (where === 'bundle') packBundle(app, { only: true });
    const server = await startServe(t, app);
    const browser = await launchBrowser(t);
    const page = await browser.newPage();
    await page.goto(server.startPage);
    const answers = await page.evaluate(async (names) => Promise.all(names.map(async (name) => {
      const response = await fetch(name);
      return [response.status, await response.text(), response.headers.get('content-type')];
    })), nameCases.map(([name]) => name));
    nameCases.forEach(([name, fromBundle, fromFolder], i) => {
      const [status, body] = where === 'bundle' ? fromBundle : fromFolder;
      assert.deepEqual(answers[i].slice(0, 2), [status, body], `${name} from the ${where}`);
      if (status === 404) assert.equal(answers[i][2], null, `${name}: no Content-Type`);
    });
    // The type comes from the name that was found, not from the query.
    assert.equal(answers[nameCases.findIndex(([n]) => n === 'data.json?v=2')][2],
      'application/json; charset=utf-8');
  });
}

test('the folder answer names the file a wrong case found', { timeout: 60000 }, async (t) => {
  const app = tempFolder(t);
  writeFiles(app, { 'package.json': '{"name":"x"}', 'www/index.html': 'hi', 'www/Logo.PNG': 'png' });
  const server = await startServe(t, app);
  const response = await fetch(`${server.origin}/logo.png`);
  assert.equal(response.status, 200);
  assert.equal(response.headers.get('content-type'), 'image/png');
  await server.waitForLine(/^GET \/logo\.png 200 3 \S+ folder \(found as 'Logo\.PNG'/);
});

// A threaded WebAssembly engine needs SharedArrayBuffer, which the browser gives only to a
// cross-origin isolated page.
const isolationPage = {
  'index.html': '<!DOCTYPE html><meta charset="utf-8"><title>threads</title><link rel="icon" href="data:,">',
  'worker.js': 'onmessage = (e) => { const cells = new Int32Array(e.data); ' +
    'Atomics.store(cells, 0, 42); Atomics.notify(cells, 0); };',
};

for (const isolated of [true, false]) {
  test(`cross-origin isolation ${isolated ? 'on: a worker wakes the page through shared memory' : 'off: no shared memory'}`, { timeout: 60000 }, async (t) => {
    const settings = isolated ? { 'cross-origin-isolation': true } : {};
    const server = await startServe(t, makeApp(t, isolationPage, { name: 'threads', settings }));
    const browser = await launchBrowser(t);
    const page = await watchedPage(browser);
    await page.goto(server.startPage, { waitUntil: 'load' });
    const result = await page.evaluate(async () => {
      const shared = typeof SharedArrayBuffer === 'function';
      if (!shared) return { isolated: crossOriginIsolated, shared };
      const cells = new Int32Array(new SharedArrayBuffer(8));
      const worker = new Worker('worker.js');
      const waited = Atomics.waitAsync(cells, 0, 0, 10000);
      worker.postMessage(cells.buffer);
      return { isolated: crossOriginIsolated, shared, woken: await waited.value, value: cells[0] };
    });
    if (isolated) {
      assert.deepEqual(result, { isolated: true, shared: true, woken: 'ok', value: 42 });
    } else {
      assert.deepEqual(result, { isolated: false, shared: false });
    }
    // Every answer carries the headers, a missing file's too.
    const missing = await fetch(`${server.origin}/missing.js`);
    assert.equal(missing.status, 404);
    assert.equal(missing.headers.get('cross-origin-embedder-policy'), isolated ? 'require-corp' : null);
    assert.equal(missing.headers.get('cross-origin-opener-policy'), isolated ? 'same-origin' : null);
    assert.equal(missing.headers.get('cross-origin-resource-policy'), isolated ? 'same-origin' : null);
    assert.deepEqual(page.problems, []);
  });
}
