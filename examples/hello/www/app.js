'use strict';

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


// The host bridge: window.chrome.webview exists only inside the Vandrel host.
const bridge = window.chrome && window.chrome.webview;
const status = document.getElementById('bridge-status');
const tokens = ['<app>', '<web-resource>', '<current-app-data>', '<local-app-data>',
  '<roaming-app-data>', '<desktop>', '<documents>', '<downloads>', '<pictures>', '<profile>',
  '<saved-games>', '<screenshots>', '<videos>'];
let fullscreen = false;

function send(message) {
  if (bridge) bridge.postMessage(JSON.stringify(message));
}

if (!bridge) {
  status.textContent = 'Not running inside the Vandrel host: the buttons do nothing here.';
} else {
  bridge.addEventListener('message', (event) => {
    const data = event.data;
    if (data && data.type === 'directory-handles') {
      const list = document.getElementById('folders');
      list.replaceChildren();
      tokens.forEach((token, i) => {
        const handle = event.additionalObjects && event.additionalObjects[i];
        const item = document.createElement('li');
        item.textContent = token + ': ' + (handle ? handle.name : '(not available)');
        list.appendChild(item);
      });
    } else if (data && data.type === 'wrapper-init-response') {
      const ids = data.registeredComponentIds || [];
      const list = document.getElementById('components');
      list.replaceChildren(...(ids.length ? ids : ['none registered']).map((id) => {
        const item = document.createElement('li');
        item.textContent = id;
        return item;
      }));
      status.textContent = 'The host answered the start-up handshake.';
    }
  });
  send({ type: 'wrapper-init' });
}

document.getElementById('fullscreen').addEventListener('click', () => {
  fullscreen = !fullscreen;
  send({ type: 'set-fullscreen', fullscreen });
});
document.getElementById('size').addEventListener('click', () => {
  send({ type: 'set-window-size', windowWidth: 800, windowHeight: 600 });
});
document.getElementById('move').addEventListener('click', () => {
  send({ type: 'set-window-position', windowX: 40, windowY: 40 });
});
