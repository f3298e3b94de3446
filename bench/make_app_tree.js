#!/usr/bin/env node
// node make_app_tree.js FOLDER NAMES_FILE
//
// Writes one synthetic HTML5 game under FOLDER (which must not exist yet) for compare.sh: about
// 10,000 files and 200 MB in folders up to six deep, named like a game's files (html, js, css,
// json, png, webp, ogg, woff2, glsl, mp4, ...), mostly small with a few media files of several
// MB, and some files whose content is identical to another's. Everything comes from one fixed
// seed: the same script always writes the same tree. NAMES_FILE receives every file's name
// relative to FOLDER ('/' between folders), one a line, in a shuffled order that the probes use
// for their lookups. Prints a one-line summary.

'use strict';

const fs = require('fs');
const path = require('path');

const [folder, namesFile] = process.argv.slice(2);
if (!folder || !namesFile) {
  console.error('usage: node make_app_tree.js FOLDER NAMES_FILE');
  process.exit(2);
}

// Deterministic pseudo-random numbers (mulberry32).
function random32(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return (t ^ (t >>> 14)) >>> 0;
  };
}
const next = random32(0x56414e44);
const between = (low, high) => low + (next() % (high - low + 1));
const pick = (list) => list[next() % list.length];

// Content of `size` bytes from `seed`; files that share a seed and size are identical.
function content(seed, size) {
  const buffer = Buffer.allocUnsafe(size);
  const words = new Uint32Array(buffer.buffer, buffer.byteOffset, Math.floor(size / 4));
  const bytes = random32(seed);
  for (let i = 0; i < words.length; i++) {
    words[i] = bytes();
  }
  for (let i = words.length * 4; i < size; i++) {
    buffer[i] = bytes() & 0xff;
  }
  return buffer;
}

const files = [];  // {name, size, seed}
const add = (name, size, seed = next()) => files.push({ name, size, seed });

// Page and styles.
add('index.html', 4200);
add('manifest.json', 900);
add('favicon.ico', 15086);
for (const page of ['credits', 'settings', 'help', 'privacy', 'about']) {
  add(`pages/${page}.html`, between(2000, 9000));
}
const themes = ['light', 'dark', 'retro', 'winter', 'neon'];
for (const theme of themes) {
  add(`css/themes/${theme}.css`, between(3000, 20000));
  for (const part of ['hud', 'menus', 'dialogs', 'inventory', 'map']) {
    add(`css/themes/${theme}/${part}.css`, between(1000, 8000));
  }
}

// Scripts: js/<area>/<module>/<name>.js, a vendor folder with minified libraries.
const areas = {
  engine: ['core', 'render', 'audio', 'input', 'physics', 'net', 'ecs', 'assets'],
  game: ['player', 'enemies', 'items', 'quests', 'dialog', 'weather', 'save', 'ai'],
  ui: ['widgets', 'screens', 'layout', 'fx'],
};
const scriptNames = ['index', 'state', 'loader', 'system', 'component', 'utils', 'events', 'pool',
  'queue', 'config', 'shader_cache', 'tween', 'camera', 'timeline', 'registry', 'bindings'];
for (const [area, modules] of Object.entries(areas)) {
  for (const module of modules) {
    for (const name of scriptNames) {
      add(`js/${area}/${module}/${name}.js`, between(800, 40000));
      add(`js/${area}/${module}/${name}.js.map`, between(2000, 60000));
    }
  }
}
for (const lib of ['pixi.min.js', 'howler.min.js', 'matter.min.js', 'localforage.min.js']) {
  add(`js/vendor/${lib}`, between(150000, 700000));
}

// Level data and tiles: six folders deep at most, e.g.
// assets/levels/world-3/zone-2/tiles/hd/tile_0421.png
const worlds = 6;
const zones = 4;
for (let w = 1; w <= worlds; w++) {
  for (let z = 1; z <= zones; z++) {
    for (let level = 0; level < 12; level++) {
      add(`data/levels/world-${w}/zone-${z}/level_${String(level).padStart(3, '0')}.json`,
          between(1500, 40000));
    }
    for (let t = 0; t < 120; t++) {
      const tile = `tile_${String(t).padStart(4, '0')}`;
      add(`assets/levels/world-${w}/zone-${z}/tiles/sd/${tile}.png`, between(600, 6000));
      add(`assets/levels/world-${w}/zone-${z}/tiles/hd/${tile}.png`, between(2500, 20000));
    }
    add(`assets/levels/world-${w}/zone-${z}/background.webp`, between(150000, 500000));
    add(`assets/levels/world-${w}/zone-${z}/parallax_far.webp`, between(80000, 300000));
  }
}

// Sprites: assets/sprites/<group>/<who>/<animation>/frame_NNN.png
const groups = {
  characters: ['hero', 'sidekick', 'merchant', 'elder', 'guard', 'thief'],
  enemies: ['slime', 'bat', 'knight', 'wizard', 'golem', 'spider', 'dragon', 'wraith'],
};
const animations = ['idle', 'walk', 'run', 'jump', 'attack', 'hurt', 'die'];
for (const [group, members] of Object.entries(groups)) {
  for (const who of members) {
    add(`assets/sprites/${group}/${who}/atlas.json`, between(3000, 12000));
    for (const animation of animations) {
      const frames = between(6, 16);
      for (let f = 0; f < frames; f++) {
        add(`assets/sprites/${group}/${who}/${animation}/frame_${String(f).padStart(3, '0')}.png`,
            between(3000, 30000));
      }
    }
  }
}

// Interface images, icons, fonts, shaders, translations.
for (const theme of themes) {
  for (const widget of ['button', 'panel', 'slider', 'checkbox', 'tab', 'scrollbar']) {
    for (const state of ['normal', 'hover', 'pressed', 'disabled']) {
      add(`assets/ui/${theme}/${widget}/${state}.png`, between(800, 9000));
      add(`assets/ui/${theme}/${widget}/${state}@2x.png`, between(2000, 24000));
    }
  }
}
for (let i = 0; i < 400; i++) {
  add(`assets/icons/items/item_${String(i).padStart(3, '0')}.png`, between(900, 5000));
}
for (const font of ['Inter', 'PressStart2P', 'NotoSans', 'NotoSansJP']) {
  for (const weight of ['Regular', 'Bold']) {
    add(`assets/fonts/${font}/${font}-${weight}.woff2`, between(30000, font === 'NotoSansJP' ? 1800000 : 160000));
  }
}
for (const shader of ['sprite', 'tilemap', 'bloom', 'blur', 'water', 'fog', 'crt', 'outline']) {
  add(`assets/shaders/${shader}.vert.glsl`, between(400, 3000));
  add(`assets/shaders/${shader}.frag.glsl`, between(600, 6000));
}
for (const language of ['en', 'de', 'fr', 'es', 'it', 'pt-BR', 'ja', 'ko', 'zh-Hans', 'ru']) {
  for (const table of ['strings', 'dialog', 'items', 'quests', 'credits']) {
    add(`data/i18n/${language}/${table}.json`, between(4000, 60000));
  }
}

// Sounds: assets/audio/sfx/<kind>/<name>_NN.ogg, voice lines per language.
const sounds = {
  ui: ['click', 'hover', 'open', 'close', 'error', 'coin'],
  combat: ['hit', 'swing', 'block', 'parry', 'cast', 'explode'],
  ambient: ['wind', 'rain', 'birds', 'river', 'cave', 'crowd'],
  footsteps: ['grass', 'stone', 'wood', 'sand', 'snow', 'metal'],
};
for (const [kind, names] of Object.entries(sounds)) {
  for (const name of names) {
    for (let n = 0; n < 12; n++) {
      add(`assets/audio/sfx/${kind}/${name}_${String(n).padStart(2, '0')}.ogg`,
          between(6000, 90000));
    }
  }
}
for (const language of ['en', 'de', 'fr', 'ja']) {
  for (let chapter = 1; chapter <= 5; chapter++) {
    for (let line = 0; line < 48; line++) {
      add(`assets/audio/voice/${language}/chapter-${chapter}/line_${String(line).padStart(3, '0')}.ogg`,
          between(10000, 60000));
    }
  }
}

// Placeholder and shared art: copies of earlier files' content under other names.
const smallFiles = files.filter((f) => f.size < 100000);
for (let i = 0; i < 150; i++) {
  const original = pick(smallFiles);
  add(`assets/placeholders/copy_${String(i).padStart(3, '0')}${path.extname(original.name)}`,
      original.size, original.seed);
}

// Fill up to about 10,000 files with generated level objects.
let objectIndex = 0;
while (files.length < 9990) {
  const w = 1 + (objectIndex % worlds);
  const z = 1 + (Math.floor(objectIndex / worlds) % zones);
  const n = Math.floor(objectIndex / (worlds * zones));
  add(`assets/levels/world-${w}/zone-${z}/objects/obj_${String(n).padStart(4, '0')}.png`,
      between(1500, 16000));
  objectIndex++;
}

// A few large media files, one of them stored twice.
const music = ['title', 'overworld', 'battle', 'dungeon', 'ending'];
for (const track of music) {
  add(`assets/audio/music/${track}.ogg`, between(3000000, 7000000));
}
add('assets/video/intro.mp4', 14000000);
add('assets/video/credits.webm', 9000000);
const title = files.find((f) => f.name === 'assets/audio/music/title.ogg');
add('assets/audio/music/legacy/title.ogg', title.size, title.seed);

// Write everything.
if (fs.existsSync(folder)) {
  console.error(`make_app_tree: ${folder} already exists`);
  process.exit(1);
}
let totalBytes = 0;
const made = new Set();
for (const file of files) {
  const target = path.join(folder, file.name);
  const dir = path.dirname(target);
  if (!made.has(dir)) {
    fs.mkdirSync(dir, { recursive: true });
    made.add(dir);
  }
  fs.writeFileSync(target, content(file.seed, file.size));
  totalBytes += file.size;
}

// Lookup order: shuffled.
const names = files.map((f) => f.name);
for (let i = names.length - 1; i > 0; i--) {
  const j = next() % (i + 1);
  [names[i], names[j]] = [names[j], names[i]];
}
fs.writeFileSync(namesFile, names.join('\n') + '\n');

const depth = Math.max(...files.map((f) => f.name.split('/').length - 1));
console.log(`made ${files.length} files, ${(totalBytes / 1e6).toFixed(1)} MB, ` +
            `folders up to ${depth} deep, in ${folder}`);
