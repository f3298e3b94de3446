#!/usr/bin/env node
// node compare_table.js RESULTS SIZES PACK_RUNS PROBE_RUNS
//
// Prints compare.sh's table from RESULTS (JSON lines, each with a "tool" and some of pack_ms,
// open_index_ms, lookup_ms, read_ms, memcpy_ms, read_warm_ms, memcpy_warm_ms) and SIZES (a JSON
// object with the tree's and the archives' sizes). Packing keeps the best run, everything else
// the median.

'use strict';

const fs = require('fs');

const [resultsFile, sizesJson, packRuns, probeRuns] = process.argv.slice(2);
const rows = fs.readFileSync(resultsFile, 'utf8').split('\n').filter(Boolean).map(JSON.parse);
const sizes = JSON.parse(sizesJson);

const values = (tool, key) =>
  rows.filter((r) => r.tool === tool && typeof r[key] === 'number').map((r) => r[key]);
const best = (list) => (list.length ? Math.min(...list) : null);
const median = (list) => {
  if (!list.length) return null;
  const sorted = [...list].sort((a, b) => a - b);
  const mid = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
};
const figure = (tool, key) => (key === 'pack_ms' ? best : median)(values(tool, key));

// Every reader must have seen the whole tree.
for (const tool of ['vandrel', 'asar']) {
  for (const r of rows.filter((row) => row.tool === tool && 'bytes' in row)) {
    if (r.bytes !== sizes.tree_bytes || r.files !== sizes.tree_files) {
      console.error(`compare: ${tool} read ${r.files} files / ${r.bytes} bytes, the tree has ` +
                    `${sizes.tree_files} / ${sizes.tree_bytes}`);
      process.exit(1);
    }
  }
}

function duration(ms) {
  if (ms === null) return 'n/a';
  if (ms >= 1000) return `${(ms / 1000).toPrecision(3)} s`;
  if (ms >= 100) return `${ms.toFixed(0)} ms`;
  return `${ms.toPrecision(3)} ms`;
}
function ratio(v, a) {
  if (v === null || a === null) return 'n/a';
  const r = v / a;
  const how = r <= 1 ? `${(a / v).toFixed(1)}x faster` : `${r.toFixed(1)}x slower`;
  return `${r.toFixed(3)} (${how})`;
}
const mb = (bytes) => `${(bytes / 1e6).toFixed(1)} MB`;

const steps = [
  ['pack', 'pack_ms', ''],
  ['open+index', 'open_index_ms', ' [1]'],
  ['lookup all', 'lookup_ms', ''],
  ['read all', 'read_ms', ' [2]'],
];
const table = [['', 'vandrel', 'asar', 'tar', 'vandrel/asar']];
for (const [label, key, note] of steps) {
  const v = figure('vandrel', key);
  const a = figure('asar', key);
  const t = figure('tar', key);
  table.push([label, duration(v), duration(a), t === null ? 'n/a' : duration(t) + note,
              ratio(v, a)]);
}
const widths = table[0].map((_, c) => Math.max(...table.map((row) => row[c].length)));
const line = (row) => row.map((cell, c) => cell.padEnd(widths[c])).join('   ').trimEnd();

console.log('');
console.log(`tree: ${sizes.tree_files} files, ${mb(sizes.tree_bytes)}; archives: ` +
            `assets.dat ${mb(sizes.vandrel_bytes)}, app.asar ${mb(sizes.asar_bytes)}, ` +
            `app.tar ${mb(sizes.tar_bytes)}`);
console.log(`pack: best of ${packRuns} runs; the rest: median of ${probeRuns} fresh processes; ` +
            'warm page cache throughout');
console.log('');
console.log(line(table[0]));
console.log(widths.map((w) => '-'.repeat(w)).join('   '));
for (const row of table.slice(1)) console.log(line(row));
console.log('');
console.log('[1] tar has no index: `tar -tf` scanning every member header (process start included)');
console.log('[2] tar: `tar -xOf` writing every member to /dev/null (process start included)');
console.log('vandrel: bundle_probe (mmap + AssetBundle, checksum of every byte); ' +
            'asar: @electron/asar statFile / extractFile');

const v = (key) => figure('vandrel', key);
const a = (key) => figure('asar', key);
const verdict = (ok) => (ok ? 'met' : 'MISSED');
const memcpyRatio = v('read_ms') / v('memcpy_ms');
const memcpyWarmRatio = v('read_warm_ms') / v('memcpy_warm_ms');
const packRatio = v('pack_ms') / figure('tar', 'pack_ms');
console.log('');
console.log('targets:');
console.log(`  open+index >= 5x faster than asar: ${(a('open_index_ms') / v('open_index_ms')).toFixed(1)}x ` +
            `-> ${verdict(a('open_index_ms') / v('open_index_ms') >= 5)}`);
console.log(`  lookup all >= 5x faster than asar: ${(a('lookup_ms') / v('lookup_ms')).toFixed(1)}x ` +
            `-> ${verdict(a('lookup_ms') / v('lookup_ms') >= 5)}`);
console.log(`  vandrel pack <= 2x tar -cf: ${duration(v('pack_ms'))} vs ` +
            `${duration(figure('tar', 'pack_ms'))} = ${packRatio.toFixed(2)}x -> ${verdict(packRatio <= 2)}`);
console.log(`  read all <= 2x memcpy of the same bytes: first pass ${duration(v('read_ms'))} vs ` +
            `${duration(v('memcpy_ms'))} = ${memcpyRatio.toFixed(2)}x -> ${verdict(memcpyRatio <= 2)}; ` +
            `warm ${duration(v('read_warm_ms'))} vs ${duration(v('memcpy_warm_ms'))} = ` +
            `${memcpyWarmRatio.toFixed(2)}x -> ${verdict(memcpyWarmRatio <= 2)}`);
