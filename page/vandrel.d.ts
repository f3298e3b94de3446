// Type declarations for vandrel.js, the page side of the Vandrel host.

/** The names of the thirteen folders, in the host's order. */
export type FolderName =
  | 'app' | 'webResource' | 'currentAppData' | 'localAppData' | 'roamingAppData' | 'desktop'
  | 'documents' | 'downloads' | 'pictures' | 'profile' | 'savedGames' | 'screenshots' | 'videos';

export declare const folderNames: readonly FolderName[];

/**
 * Read-write handles to the folders. An entry is null when the folder does not exist, the runtime
 * refused it, or (outside the host) always, except currentAppData, which is then the
 * origin-private file system.
 */
export type Folders = Readonly<Record<FolderName, FileSystemDirectoryHandle | null>>;

export interface Connection {
  /** True inside the Vandrel host. */
  readonly inHost: boolean;
  readonly folders: Folders;
  /** The extension library's component ids; empty without an extension or outside the host. */
  readonly componentIds: readonly string[];
}

export interface ConnectOptions {
  /** How long to wait for the host's answer, in milliseconds (default 5000). */
  timeoutMs?: number;
}

/** True inside the Vandrel host. */
export declare function isInHost(): boolean;

/**
 * Asks the host for its folders and extension components once; later calls give the same answer.
 * Rejects when the host does not answer in time; a call after that asks again.
 */
export declare function connect(options?: ConnectOptions): Promise<Connection>;

/** Full screen on or off (in a browser: the Fullscreen API, which needs a user gesture). */
export declare function setFullscreen(on: boolean): Promise<void>;

/** The window's client area in 96-DPI pixels. Does nothing outside the host. */
export declare function setWindowSize(width: number, height: number): Promise<void>;

/** The window's outer top-left corner in 96-DPI pixels. Does nothing outside the host. */
export declare function setWindowPosition(x: number, y: number): Promise<void>;

export type WindowShowState = 'normal' | 'minimized' | 'maximized';

export interface WindowState {
  readonly alwaysOnTop: boolean;
  readonly fullscreen: boolean;
  readonly maximized: boolean;
  readonly minimized: boolean;
  /** The screen's scale factor (1.5 at 144 DPI). */
  readonly scale: number;
  /** The client area, in 96-DPI pixels. */
  readonly width: number;
  readonly height: number;
  /** The window's outer top-left corner, in 96-DPI pixels. */
  readonly x: number;
  readonly y: number;
}

/** Minimises, maximises or restores the window; ignored in full screen. */
export declare function setWindowState(state: WindowShowState): Promise<void>;

/** Keeps the window above the others, or not. Does nothing outside the host. */
export declare function setAlwaysOnTop(onTop: boolean): Promise<void>;

/** The window's state; outside the host a best guess from `window` and `screen`. */
export declare function getWindowState(options?: { timeoutMs?: number }): Promise<WindowState>;

/**
 * Writes a line to the player log (vandrel.log in the app's data folder). Does nothing outside the
 * host; rejects a level other than these three.
 */
export declare function log(level: 'info' | 'warn' | 'error', message: string): Promise<void>;

/**
 * Sends `{"type":"extension-message", ...message}` to the extension library. Rejects outside the
 * host, and when message.type is set to anything but "extension-message".
 */
export declare function sendToExtension(message: Record<string, unknown>): Promise<void>;

/**
 * Calls the listener with true or false whenever full screen goes on or off, whoever switched it
 * (the page, F11 or Alt+Enter, an element's own full screen); in a browser, on the Fullscreen
 * API's changes. Returns a function that removes the listener.
 */
export declare function onFullscreenChange(listener: (on: boolean) => void): () => void;

/**
 * Calls the listener with each message the host posts that is not part of the start-up
 * handshake, a full-screen change or a window-state reply (what extensions post). Returns a
 * function that removes the listener.
 */
export declare function onMessage(listener: (data: unknown, event: MessageEvent) => void): () => void;
