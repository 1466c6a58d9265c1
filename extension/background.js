// The link to DunvelBlenk: one WebSocket to the program on the loopback, fed with the reports of the
// one video being followed. Chromium runs this file as a service worker and Firefox as an event page;
// either may stop it when idle, so what must outlive a restart is kept in storage.session and every
// listener is registered at the top level, before the first await.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;

const DEFAULT_PORT = 47813;
const IDLE_PERIOD_MS = 1000;
const FIRST_RETRY_MS = 500;
const LAST_RETRY_MS = 10000;
const TITLE_LIMIT = 200;
const PAGE_ADDRESS_LIMIT = 2048;
const TITLE_REFRESH_MS = 2000;
const PAYLOAD_LIMIT = 4096;
const WAKE_ALARM = 'reconnect';
// After a restart, how long the followed video may take to be reported again before it counts as
// gone; and how often another video that plays is mentioned to the program.
const SETTLE_MS = 2500;
const NOTE_MS = 1000;

function nowMs() { return performance.timeOrigin + performance.now(); }

// --- settings: kept in storage.local, changed from the popup ---

const settings = {port: DEFAULT_PORT};

function validPort(value) {
    const port = Number(value);
    return Number.isInteger(port) && port > 0 && port < 65536 ? port : DEFAULT_PORT;
}

// --- permission: what the program answered ---

// approval is the program's last status ("pending", "allowed", "refused") on the open link. A
// refusal stops the reconnecting until the user asks again from the popup, changes the port, or
// restarts the browser.
const permission = {approval: null, refused: false};

function hearStatus(state) {
    permission.approval = state;
    if (state === 'refused') {
        permission.refused = true;
        persist();
    }
}

function forgetRefusal() {
    permission.refused = false;
    persist();
}

// --- following: the videos in the tabs, and the one whose reports go to the program ---

// tabs: tab id -> {title, url, titleAt, frames: Map(frame id -> {port, readAt, videos})}, where videos
// maps a video's name to its last report; title and url are the tab's, the top page's also for a
// video in a frame. Rebuilt from the content scripts, which reconnect with
// their next report (within a second) after a restart.
//
// followed is the name of the one video followed, "TAB:FRAME:DOCUMENT.NUMBER": it stays the same
// for as long as that element is in its page, and no other element ever has it. It stays followed
// while it is there, playing or not; only when it goes (removed, its frame navigated, its tab
// closed) may another video be followed, and then only one that plays as the user started it (see
// content.js) or one the user chooses in the popup. sentVideo is the name the program last heard
// of, null on a new link. settleUntil: after a restart the frames take up to a second to report
// again; until then the followed video counts as there.
const following = {tabs: new Map(), followed: null, sentVideo: null, settleUntil: 0};

const VIDEO_ID = /^[a-z0-9]{1,16}\.[0-9]{1,9}$/;

function cutTitle(title) {
    const chars = Array.from(title || '');
    return chars.length > TITLE_LIMIT ? chars.slice(0, TITLE_LIMIT).join('') : title || '';
}

// The page's address for the program, which may find the film's script by it: http and https only,
// in the URL parser's form (all ASCII, so that characters are bytes), cut to its limit; undefined
// (left out of the message) for anything else.
function pageAddress(url) {
    let parsed;
    try {
        parsed = new URL(url);
    } catch (e) {
        return undefined;
    }
    if (parsed.protocol !== 'http:' && parsed.protocol !== 'https:') {
        return undefined;
    }
    return parsed.href.slice(0, PAGE_ADDRESS_LIMIT);
}

function videoName(tabId, frameId, id) { return `${tabId}:${frameId}:${id}`; }

// Every video reported, as {name, tabId, tab, frame, report}.
function allVideos() {
    const list = [];
    for (const [tabId, tab] of following.tabs) {
        for (const [frameId, frame] of tab.frames) {
            for (const [id, report] of frame.videos) {
                list.push({name: videoName(tabId, frameId, id), tabId, tab, frame, report});
            }
        }
    }
    return list;
}

function findVideo(name) {
    if (name === null) {
        return null;
    }
    return allVideos().find((v) => v.name === name) || null;
}

// The video that plays as the user started it, the one started last when several do.
function nextVideo() {
    let best = null;
    for (const v of allVideos()) {
        if (v.report.qualifies && (!best || v.report.startedAt > best.report.startedAt)) {
            best = v;
        }
    }
    return best;
}

function follow(name) {
    if (following.followed !== name) {
        following.followed = name;
        persist();
    }
}

function payloadBytes(message) { return new TextEncoder().encode(JSON.stringify(message)).length; }

function sendVideo(v) {
    const r = v.report;
    // Measured just before sending: how long ago the page read these values.
    const age = Math.max(0, nowMs() - v.frame.readAt);
    const message = {
        type: 'video',
        tab: v.tabId,
        video: v.name,
        title: cutTitle(v.tab.title),
        currentTime: r.currentTime,
        paused: r.paused,
        playbackRate: r.playbackRate,
        duration: r.duration,
        age: Math.round(age * 1000) / 1000,
        url: pageAddress(v.tab.url),
    };
    // An address whose characters JSON escapes (a backslash stays as it is in a query) could take the
    // message past the limit, and the report with it: the report goes without the address.
    if (message.url !== undefined && payloadBytes(message) > PAYLOAD_LIMIT) {
        delete message.url;
    }
    send(message);
}

// Called after anything that may change which video is followed. The program hears of a change at
// once: first that the video it followed is gone, then the new one. Another video never takes over
// while the followed one is there.
function refollow() {
    let followed = findVideo(following.followed);
    if (!followed && following.followed !== null && nowMs() >= following.settleUntil) {
        follow(null);
    }
    if (following.followed === null) {
        followed = nextVideo();
        if (followed) {
            follow(followed.name);
        }
    }
    const sent = following.sentVideo;
    const name = followed ? followed.name : null;
    if (name === sent) {
        return;
    }
    if (sent !== null) {
        const gone = findVideo(sent);
        send({type: 'gone', tab: gone ? gone.tabId : Number(sent.split(':')[0]), video: sent});
    }
    following.sentVideo = name;
    if (followed) {
        sendVideo(followed);
    } else {
        send({type: 'idle'});
    }
}

// A new link: the program has heard of no video yet.
function refollowAfresh() {
    following.sentVideo = null;
    refollow();
    if (following.sentVideo === null) {
        send({type: 'idle'});
    }
}

function addFrame(tabId, frameId, frame, title, url) {
    let tab = following.tabs.get(tabId);
    if (!tab) {
        tab = {title, url, titleAt: nowMs(), frames: new Map()};
        following.tabs.set(tabId, tab);
    }
    tab.frames.set(frameId, frame);
}

function isCurrentFrame(tabId, frameId, frame) { return following.tabs.get(tabId)?.frames.get(frameId) === frame; }

function onReport(tabId, frameId, frame, message) {
    const tab = following.tabs.get(tabId);
    frame.readAt = Number(message.readAt) || nowMs();
    frame.videos = new Map();
    for (const r of Array.isArray(message.videos) ? message.videos : []) {
        if (r && typeof r.id === 'string' && VIDEO_ID.test(r.id)) {
            frame.videos.set(r.id, r);
        }
    }
    const sent = following.sentVideo;
    refollow();
    // Unchanged, and in this frame: the program hears the fresh report.
    if (sent !== null && following.sentVideo === sent) {
        const v = findVideo(sent);
        if (v && v.frame === frame) {
            sendVideo(v);
        }
    }
    noteOthers(tabId, frameId, tab, frame);
    refreshTitle(tabId, tab);
}

// Another video in this frame that plays as the user started it is reported too, once a second,
// so that the program can say so: it never follows it, since it already follows one. Only then:
// after a new link, and after "gone", the first report the program hears is the one it follows.
function noteOthers(tabId, frameId, tab, frame) {
    if (following.sentVideo === null) {
        return;
    }
    for (const [id, report] of frame.videos) {
        const name = videoName(tabId, frameId, id);
        if (report.qualifies && name !== following.sentVideo && frame.readAt - (frame.notedAt.get(id) || 0) >= NOTE_MS) {
            frame.notedAt.set(id, frame.readAt);
            sendVideo({name, tabId, tab, frame, report});
        }
    }
}

function removeFrame(tabId, frameId) {
    const tab = following.tabs.get(tabId);
    tab.frames.delete(frameId);
    if (tab.frames.size === 0) {
        following.tabs.delete(tabId);
    }
    refollow();
}

function removeTab(tabId) {
    following.tabs.delete(tabId);
    refollow();
}

// The user's choice in the popup: that video, whatever else plays.
function chooseVideo(name) {
    if (typeof name === 'string' && findVideo(name)) {
        follow(name);
        refollow();
    }
}

// The tab's title and address as the tabs API has them (the page's own, also for a video in a
// frame), asked for now and then rather than on every report: a site that plays the next film in
// the same page changes its address without loading another.
function refreshTitle(tabId, tab) {
    const now = nowMs();
    if (now - tab.titleAt < TITLE_REFRESH_MS) {
        return;
    }
    tab.titleAt = now;
    api.tabs.get(tabId).then((info) => {
        if (info && typeof info.url === 'string') {
            tab.url = info.url;
        }
        if (info && typeof info.title === 'string') {
            tab.title = info.title;
            tellPopups();
        }
    }, () => {});
}

// --- connection: the socket, and trying again while the program is not there ---

// link is "connecting", "open" or "closed"; failedOnce says a try failed since the last open link.
const connection = {socket: null, link: 'closed', failedOnce: false, retryDelay: FIRST_RETRY_MS, retryTimer: 0};

function send(message) {
    if (!connection.socket || connection.link !== 'open') {
        return;
    }
    if (payloadBytes(message) > PAYLOAD_LIMIT) {
        return;
    }
    const text = JSON.stringify(message);
    try {
        connection.socket.send(text);
    } catch (e) {
        // The close event follows and reconnects.
    }
}

function scheduleRetry() {
    clearTimeout(connection.retryTimer);
    // Someone looking at the popup sees the program start within half a second.
    const delay = popups.ports.size > 0 ? FIRST_RETRY_MS : connection.retryDelay;
    connection.retryTimer = setTimeout(connect, delay);
    connection.retryDelay = Math.min(connection.retryDelay * 2, LAST_RETRY_MS);
}

function connect() {
    clearTimeout(connection.retryTimer);
    connection.retryTimer = 0;
    if (connection.socket || permission.refused) {
        return;
    }
    let ws;
    try {
        ws = new WebSocket(`ws://127.0.0.1:${settings.port}/`);
    } catch (e) {
        connection.failedOnce = true;
        scheduleRetry();
        tellPopups();
        return;
    }
    connection.socket = ws;
    connection.link = 'connecting';
    permission.approval = null;
    ws.onopen = () => {
        if (connection.socket !== ws) {
            return;
        }
        connection.link = 'open';
        connection.failedOnce = false;
        connection.retryDelay = FIRST_RETRY_MS;
        send({type: 'hello', version: 1});
        refollowAfresh();
        tellPopups();
    };
    ws.onmessage = (event) => {
        if (connection.socket !== ws || typeof event.data !== 'string') {
            return;
        }
        let message;
        try {
            message = JSON.parse(event.data);
        } catch (e) {
            return;
        }
        if (message && message.type === 'status' && ['pending', 'allowed', 'refused'].includes(message.state)) {
            hearStatus(message.state);
            tellPopups();
        }
    };
    ws.onclose = () => {
        if (connection.socket !== ws) {
            return;
        }
        connection.socket = null;
        connection.link = 'closed';
        if (!permission.refused) {
            permission.approval = null;
            connection.failedOnce = true;
            scheduleRetry();
        }
        tellPopups();
    };
    tellPopups();
}

function connectIfIdle() {
    if (!connection.socket && !permission.refused) {
        connect();
    }
}

function reconnect() {
    const old = connection.socket;
    connection.socket = null;
    connection.link = 'closed';
    permission.approval = null;
    connection.failedOnce = false;
    connection.retryDelay = FIRST_RETRY_MS;
    if (old) {
        old.close(1000);
    }
    connect();
}

// --- popups: each open one holds a port and is told the state whenever it changes ---

// told is the state the open popups were last told, as JSON.
const popups = {ports: new Set(), told: ''};

function popupState() {
    const followed = findVideo(following.followed);
    const list = allVideos().map((v) => ({
        video: v.name,
        title: v.tab.title,
        playing: v.report.playing,
        muted: v.report.muted,
        at: Math.floor(v.report.currentTime),
        startedAt: v.report.startedAt,
    }));
    list.sort((a, b) => b.startedAt - a.startedAt || (a.video < b.video ? -1 : 1));
    return {
        link: connection.link,
        approval: permission.approval,
        refused: permission.refused,
        failedOnce: connection.failedOnce,
        port: settings.port,
        // The host of the extension's own origin: runtime.id in Chromium; in Firefox, whose runtime.id
        // is the add-on's id, the install's own UUID, which is what the program is asked to allow.
        extensionId: new URL(api.runtime.getURL('')).host,
        followed: followed ? {video: followed.name, title: followed.tab.title} : null,
        videos: list,
    };
}

function tellPopups() {
    if (popups.ports.size === 0) {
        return;
    }
    const state = popupState();
    const text = JSON.stringify(state);
    if (text === popups.told) {
        return;
    }
    popups.told = text;
    for (const port of popups.ports) {
        port.postMessage(state);
    }
}

function openPopup(port) {
    const state = popupState();
    popups.told = JSON.stringify(state);
    popups.ports.add(port);
    port.postMessage(state);
}

// --- restoring after a restart ---

function persist() {
    api.storage.session.set({followed: following.followed, refused: permission.refused}).catch(() => {});
}

async function restore() {
    try {
        const local = await api.storage.local.get({port: DEFAULT_PORT});
        settings.port = validPort(local.port);
        const session = await api.storage.session.get({followed: null, refused: false});
        if (typeof session.followed === 'string') {
            following.followed = session.followed;
            following.settleUntil = nowMs() + SETTLE_MS;
        }
        permission.refused = session.refused === true;
    } catch (e) {
        // Defaults it is.
    }
    connect();
}

const ready = restore();

// --- listeners ---

function isExtensionPage(sender) { return Boolean(sender.url && sender.url.startsWith(api.runtime.getURL(''))); }

// The popup: it is sent the state on opening (which also wakes a stopped worker) and on every
// change after; it may choose a tab or ask the program again.
function onPopupConnect(port) {
    let open = true;
    port.onDisconnect.addListener(() => {
        open = false;
        popups.ports.delete(port);
    });
    ready.then(() => {
        connectIfIdle();
        if (open) {
            openPopup(port);
        }
    });
    port.onMessage.addListener((message) => {
        ready.then(() => {
            if (message && message.kind === 'choose') {
                chooseVideo(message.video);
            } else if (message && message.kind === 'ask-again') {
                forgetRefusal();
                reconnect();
            }
            tellPopups();
        });
    });
}

// One port per frame that has (or had) a video; the port closing means the frame is gone: navigated,
// closed, crashed, or put in the back-forward cache.
function onVideoConnect(port) {
    const sender = port.sender;
    const tabId = sender.tab.id;
    const frame = {port, readAt: 0, videos: new Map(), notedAt: new Map()};
    const frameId = typeof sender.frameId === 'number' ? sender.frameId : 0;
    const joined = ready.then(() => addFrame(tabId, frameId, frame, sender.tab.title || '', sender.tab.url));
    port.onMessage.addListener((message) => {
        joined.then(() => {
            if (message && message.kind === 'videos' && isCurrentFrame(tabId, frameId, frame)) {
                onReport(tabId, frameId, frame, message);
                tellPopups();
            }
        });
    });
    port.onDisconnect.addListener(() => {
        joined.then(() => {
            if (isCurrentFrame(tabId, frameId, frame)) {
                removeFrame(tabId, frameId);
                tellPopups();
            }
        });
    });
}

api.runtime.onConnect.addListener((port) => {
    const sender = port.sender || {};
    if (port.name === 'popup' && isExtensionPage(sender)) {
        onPopupConnect(port);
    } else if (port.name === 'video' && sender.tab && typeof sender.tab.id === 'number') {
        onVideoConnect(port);
    } else {
        port.disconnect();
    }
});

api.tabs.onRemoved.addListener((tabId) => {
    ready.then(() => {
        removeTab(tabId);
        tellPopups();
    });
});

api.storage.onChanged.addListener((changes, area) => {
    if (area === 'local' && changes.port) {
        ready.then(() => {
            settings.port = validPort(changes.port.newValue);
            forgetRefusal();
            reconnect();
        });
    }
});

// A stopped service worker has no timers; the alarm wakes it to try the program again.
api.alarms.onAlarm.addListener((alarm) => {
    if (alarm.name === WAKE_ALARM) {
        ready.then(connectIfIdle);
    }
});
api.alarms.create(WAKE_ALARM, {periodInMinutes: 0.5});

setInterval(() => {
    // A restart's grace ends with no report from the followed video: it is gone.
    if (following.followed !== null && following.sentVideo === null && nowMs() >= following.settleUntil) {
        refollow();
    }
    if (following.sentVideo === null) {
        send({type: 'idle'});
    }
}, IDLE_PERIOD_MS);
