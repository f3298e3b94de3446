// vandrel.js: the page side of the Vandrel host.
//
//   import { connect, setFullscreen, onFullscreenChange, onMessage } from './vandrel.js';
//   const { inHost, folders, componentIds } = await connect();
//
// Inside the host it speaks the host's web-message protocol. In a plain browser (or under
// `vandrel serve`) the same calls work as far as a browser can: full screen through the
// Fullscreen API, the app's data folder in the origin-private file system, and nothing else.

/** The thirteen folders the host hands over, by their position in `directory-handles`. */
export const folderNames = Object.freeze([
  'app', 'webResource', 'currentAppData', 'localAppData', 'roamingAppData', 'desktop',
  'documents', 'downloads', 'pictures', 'profile', 'savedGames', 'screenshots', 'videos',
]);

const HANDSHAKE_TYPES = new Set(['directory-handles', 'wrapper-init-response']);
const FULLSCREEN_CHANGED = 'fullscreen-changed';
const WINDOW_STATE = 'window-state';
const WINDOW_STATES = new Set(['normal', 'minimized', 'maximized']);

let pending = null;   // the promise of the first connect(), shared by every later call
const listeners = new Set();
const fullscreenListeners = new Set();
const stateWaiters = [];  // resolvers of getWindowState() calls, in order
let listening = false;

/** The host's message channel, or null outside the host. */
function bridge() {
  const chrome = globalThis.chrome;
  return (chrome && chrome.webview) || null;
}

/** True inside the Vandrel host (window.chrome.webview is there). */
export function isInHost() {
  return bridge() !== null;
}

function post(message) {
  bridge().postMessage(JSON.stringify(message));
}

function emptyFolders() {
  const folders = {};
  for (const name of folderNames) folders[name] = null;
  return folders;
}

// Calls each listener; one that throws does not stop the others (its error is reported later).
function notify(set, ...args) {
  for (const listener of [...set]) {
    try {
      listener(...args);
    } catch (error) {
      setTimeout(() => { throw error; });
    }
  }
}

// The host's full-screen changes go to onFullscreenChange's listeners; every other message that
// is not part of the start-up handshake goes to onMessage's.
function listen() {
  if (listening) return;
  listening = true;
  bridge().addEventListener('message', (event) => {
    const data = event.data;
    if (data && typeof data === 'object') {
      if (HANDSHAKE_TYPES.has(data.type)) return;
      if (data.type === FULLSCREEN_CHANGED) {
        notify(fullscreenListeners, data.fullscreen === true);
        return;
      }
      if (data.type === WINDOW_STATE) {
        const { type, ...state } = data;
        const waiter = stateWaiters.shift();
        if (waiter) waiter(state);
        return;
      }
    }
    notify(listeners, data, event);
  });
}

function onDocumentFullscreen() {
  notify(fullscreenListeners, Boolean(document.fullscreenElement));
}

function connectToHost(timeoutMs) {
  const webview = bridge();
  return new Promise((resolve, reject) => {
    const folders = emptyFolders();
    const onMessage = (event) => {
      const data = event.data;
      if (!data || typeof data !== 'object') return;
      if (data.type === 'directory-handles') {
        const handles = event.additionalObjects || [];
        folderNames.forEach((name, i) => { folders[name] = handles[i] || null; });
      } else if (data.type === 'wrapper-init-response') {
        finish();
        const ids = Array.isArray(data.registeredComponentIds) ? data.registeredComponentIds : [];
        resolve({ inHost: true, folders: Object.freeze(folders), componentIds: Object.freeze([...ids]) });
      }
    };
    const timer = setTimeout(() => {
      finish();
      reject(new Error(`vandrel: the host did not answer "wrapper-init" within ${timeoutMs} ms`));
    }, timeoutMs);
    const finish = () => {
      clearTimeout(timer);
      webview.removeEventListener('message', onMessage);
    };
    webview.addEventListener('message', onMessage);
    post({ type: 'wrapper-init' });
  });
}

async function connectInBrowser() {
  const folders = emptyFolders();
  try {
    folders.currentAppData = await navigator.storage.getDirectory();
  } catch {
    // No origin-private file system here (an insecure origin, or a browser without it).
  }
  return { inHost: false, folders: Object.freeze(folders), componentIds: Object.freeze([]) };
}

/**
 * Asks the host for its folders and extension components once; later calls get the same answer.
 * Rejects when the host does not answer within timeoutMs (default 5000); a call after that asks
 * again.
 */
export function connect({ timeoutMs = 5000 } = {}) {
  if (!(Number.isFinite(timeoutMs) && timeoutMs >= 0)) {
    return Promise.reject(new TypeError('vandrel: connect: timeoutMs must be a number of 0 or more'));
  }
  if (!pending) {
    pending = isInHost() ? connectToHost(timeoutMs) : connectInBrowser();
    pending.catch(() => { pending = null; });
  }
  return pending;
}

function requireNumbers(command, values) {
  for (const [name, value] of Object.entries(values)) {
    if (typeof value !== 'number' || !Number.isFinite(value)) {
      throw new TypeError(`vandrel: ${command}: ${name} must be a finite number, not ${String(value)}`);
    }
  }
}

/** Full screen on or off: the host's borderless full screen, or the browser's Fullscreen API. */
export async function setFullscreen(on) {
  const fullscreen = Boolean(on);
  if (isInHost()) {
    post({ type: 'set-fullscreen', fullscreen });
    return;
  }
  if (fullscreen) {
    if (!document.fullscreenElement) await document.documentElement.requestFullscreen();
  } else if (document.fullscreenElement) {
    await document.exitFullscreen();
  }
}

/** The window's client area in 96-DPI pixels (the host scales it). Does nothing in a browser. */
export async function setWindowSize(width, height) {
  requireNumbers('setWindowSize', { width, height });
  if (isInHost()) post({ type: 'set-window-size', windowWidth: width, windowHeight: height });
}

/** The window's outer top-left corner in 96-DPI pixels. Does nothing in a browser. */
export async function setWindowPosition(x, y) {
  requireNumbers('setWindowPosition', { x, y });
  if (isInHost()) post({ type: 'set-window-position', windowX: x, windowY: y });
}

/** Minimises, maximises or restores the window ("minimized", "maximized", "normal"). */
export async function setWindowState(state) {
  if (!WINDOW_STATES.has(state)) {
    throw new TypeError('vandrel: setWindowState: the state is "normal", "minimized" or "maximized"');
  }
  if (isInHost()) post({ type: 'set-window-state', state });
}

/** Keeps the window above the others, or not. Does nothing in a browser. */
export async function setAlwaysOnTop(onTop) {
  if (isInHost()) post({ type: 'set-always-on-top', onTop: Boolean(onTop) });
}

/**
 * The window's state: { alwaysOnTop, fullscreen, height, maximized, minimized, scale, width, x,
 * y }, sizes and position in 96-DPI pixels. In a browser, a best guess from window and screen.
 * Rejects when the host does not answer within timeoutMs.
 */
export function getWindowState({ timeoutMs = 5000 } = {}) {
  if (!isInHost()) {
    return Promise.resolve({
      alwaysOnTop: false,
      fullscreen: Boolean(document.fullscreenElement),
      height: window.innerHeight,
      maximized: window.outerWidth >= screen.availWidth && window.outerHeight >= screen.availHeight,
      minimized: document.visibilityState === 'hidden',
      scale: window.devicePixelRatio,
      width: window.innerWidth,
      x: window.screenX,
      y: window.screenY,
    });
  }
  listen();
  return new Promise((resolve, reject) => {
    const waiter = (state) => { clearTimeout(timer); resolve(state); };
    const timer = setTimeout(() => {
      const index = stateWaiters.indexOf(waiter);
      if (index >= 0) stateWaiters.splice(index, 1);
      reject(new Error('vandrel: getWindowState: the host did not answer'));
    }, timeoutMs);
    stateWaiters.push(waiter);
    post({ type: 'get-window-state' });
  });
}

const LOG_LEVELS = new Set(['info', 'warn', 'error']);

/**
 * Writes a line to the player log (`vandrel.log` in the app's data folder): level "info", "warn"
 * or "error". Does nothing in a browser.
 */
export async function log(level, message) {
  if (!LOG_LEVELS.has(level)) {
    throw new TypeError('vandrel: log: the level is "info", "warn" or "error"');
  }
  if (isInHost()) post({ type: 'log', level, message: String(message) });
}

/**
 * Posts an `extension-message` with the message's members to the host, which hands the whole
 * text to the extension library. Rejects outside the host, and for a message that is not a plain
 * object or that sets `type` to something else.
 */
export async function sendToExtension(message) {
  if (!message || typeof message !== 'object' || Array.isArray(message)) {
    throw new TypeError('vandrel: sendToExtension: the message must be an object');
  }
  if ('type' in message && message.type !== 'extension-message') {
    throw new TypeError('vandrel: sendToExtension: "type" is always "extension-message"; ' +
      'name your own kind of message with another member');
  }
  if (!isInHost()) {
    throw new Error('vandrel: sendToExtension: not running inside the Vandrel host, ' +
      'so there is no extension to send to');
  }
  post({ type: 'extension-message', ...message });
}

/**
 * Calls listener(on) whenever full screen goes on or off, whoever switched it: the page, the
 * player (F11, Alt+Enter) or an element's own full screen. In a browser: the Fullscreen API's
 * changes. Returns a function that removes it.
 */
export function onFullscreenChange(listener) {
  if (typeof listener !== 'function') {
    throw new TypeError('vandrel: onFullscreenChange: the listener must be a function');
  }
  if (isInHost()) {
    listen();
  } else if (fullscreenListeners.size === 0) {
    document.addEventListener('fullscreenchange', onDocumentFullscreen);
  }
  fullscreenListeners.add(listener);
  return () => {
    fullscreenListeners.delete(listener);
    if (!isInHost() && fullscreenListeners.size === 0) {
      document.removeEventListener('fullscreenchange', onDocumentFullscreen);
    }
  };
}

/**
 * Calls listener(data, event) for every message the host posts to the page apart from the
 * start-up handshake, the full-screen changes and the window-state replies (that is, what
 * extensions post). Returns a function that removes it.
 */
export function onMessage(listener) {
  if (typeof listener !== 'function') {
    throw new TypeError('vandrel: onMessage: the listener must be a function');
  }
  listeners.add(listener);
  if (isInHost()) listen();
  return () => { listeners.delete(listener); };
}
