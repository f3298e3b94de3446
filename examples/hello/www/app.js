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
