import {
  connect, folderNames, onFullscreenChange, setFullscreen, setWindowPosition, setWindowSize,
} from './vandrel.js';

// Greeting, origin and user agent.
const hour = new Date().getHours();
const part = hour < 12 ? 'Good morning' : hour < 18 ? 'Good afternoon' : 'Good evening';
document.getElementById('greeting').textContent = part + ', from Vandrel!';
document.getElementById('origin').textContent =
  location.origin && location.origin !== 'null' ? location.origin : location.protocol;
document.getElementById('agent').textContent = navigator.userAgent;

const clock = document.getElementById('clock');
const tick = () => { clock.textContent = new Date().toLocaleTimeString(); };
tick();
setInterval(tick, 1000);

// Drifting lights behind the card, so the page is visibly alive.
const canvas = document.getElementById('sky');
const ctx = canvas.getContext('2d');
const still = matchMedia('(prefers-reduced-motion: reduce)').matches;
const lights = Array.from({ length: 48 }, () => ({
  x: Math.random(), y: Math.random(),
  r: 2 + Math.random() * 6,
  speed: 0.00002 + Math.random() * 0.00006,
  phase: Math.random() * Math.PI * 2,
}));

function resize() {
  const dpr = window.devicePixelRatio || 1;
  canvas.width = Math.round(innerWidth * dpr);
  canvas.height = Math.round(innerHeight * dpr);
  ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
}

function draw(time) {
  ctx.clearRect(0, 0, innerWidth, innerHeight);
  for (const l of lights) {
    const y = ((l.y - time * l.speed) % 1 + 1) % 1;
    const x = l.x + Math.sin(time / 1500 + l.phase) * 0.02;
    const glow = 0.35 + 0.3 * Math.sin(time / 700 + l.phase);
    ctx.beginPath();
    ctx.arc(x * innerWidth, y * innerHeight, l.r, 0, Math.PI * 2);
    ctx.fillStyle = `rgba(190, 255, 245, ${glow})`;
    ctx.fill();
  }
  if (!still) requestAnimationFrame(draw);
}

addEventListener('resize', () => { resize(); if (still) draw(performance.now()); });
resize();
requestAnimationFrame(draw);

// The host: vandrel.js speaks its protocol inside the host, and does what a browser can outside.
const status = document.getElementById('bridge-status');
let fullscreen = false;

function show(list, items) {
  list.replaceChildren(...items.map((text) => {
    const item = document.createElement('li');
    item.textContent = text;
    return item;
  }));
}

const fullscreenButton = document.getElementById('fullscreen');
fullscreenButton.addEventListener('click', () => {
  setFullscreen(!fullscreen).catch((error) => { status.textContent = error.message; });
});
// However it was switched (this button, F11, Alt+Enter), the button follows.
onFullscreenChange((on) => {
  fullscreen = on;
  fullscreenButton.textContent = on ? 'Leave full screen' : 'Full screen';
});
document.getElementById('size').addEventListener('click', () => { setWindowSize(800, 600); });
document.getElementById('move').addEventListener('click', () => { setWindowPosition(40, 40); });

try {
  const { inHost, folders, componentIds } = await connect();
  show(document.getElementById('folders'), folderNames.map((name) =>
    `${name}: ${folders[name] ? folders[name].name || '(origin-private storage)' : '(not available)'}`));
  show(document.getElementById('components'), componentIds.length ? componentIds : ['none registered']);
  status.textContent = inHost
    ? 'The host answered the start-up handshake.'
    : 'Not running inside the Vandrel host: full screen uses the browser, the window buttons do nothing.';
} catch (error) {
  status.textContent = error.message;
}
