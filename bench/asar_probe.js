#!/usr/bin/env node
// node asar_probe.js ASAR_MODULE ARCHIVE NAMES
//
// Times, in one fresh process, the same three steps bundle_probe times for assets.dat, through
// the public API of @electron/asar (the module folder ASAR_MODULE), and prints the figures as one
// JSON object. Used by compare.sh.
//
//   open_index_ms  the first asar.statFile on the archive: opens it, reads and JSON-parses the
//                  header into the in-memory filesystem object that asar caches (plus one lookup,
//                  which is negligible next to the parse)
//   lookup_ms      asar.statFile of every name listed in NAMES, once each, against that object
//   read_ms        asar.extractFile of every listed name, once each: each call looks the name up,
//                  opens the archive, reads the file's bytes into a new Buffer and closes it
//
// The bytes that extractFile returns are not checksummed in JavaScript (that would measure the
// JavaScript loop, not the archive); their lengths are summed and checked against the header.

'use strict';

const fs = require('fs');

const [modulePath, archive, namesFile] = process.argv.slice(2);
if (!modulePath || !archive || !namesFile) {
  console.error('usage: node asar_probe.js ASAR_MODULE ARCHIVE NAMES');
  process.exit(2);
}
const asar = require(modulePath);
const names = fs.readFileSync(namesFile, 'utf8').split('\n').filter((line) => line !== '');

const now = () => Number(process.hrtime.bigint()) / 1e6;

let start = now();
asar.statFile(archive, names[0]);
const openIndexMs = now() - start;

let expectedBytes = 0;
start = now();
for (const name of names) {
  const info = asar.statFile(archive, name);
  expectedBytes += info.size;
}
const lookupMs = now() - start;

let bytes = 0;
start = now();
for (const name of names) {
  bytes += asar.extractFile(archive, name).length;
}
const readMs = now() - start;

if (bytes !== expectedBytes) {
  console.error(`asar_probe: read ${bytes} bytes, the header lists ${expectedBytes}`);
  process.exit(1);
}
console.log(JSON.stringify({
  files: names.length,
  bytes,
  open_index_ms: +openIndexMs.toFixed(3),
  lookup_ms: +lookupMs.toFixed(3),
  read_ms: +readMs.toFixed(3),
}));
