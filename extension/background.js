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
const TITLE_REFRESH_MS = 2000;
const PAYLOAD_LIMIT = 4096;
const WAKE_ALARM = 'reconnect';

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

// --- following: the tabs with a video, and the one whose reports go to the program ---

// tabs: tab id -> {title, titleAt, frames: Map(frame id -> {port, report})}; a frame's report is null
// after its video went away. Rebuilt from the content scripts, which reconnect with their next
// report (within a second) after a restart. pinnedTab is the tab chosen in the popup; sentTab the
// one the program last heard of.
const following = {tabs: new Map(), pinnedTab: null, sentTab: null};

function cutTitle(title) {
    const chars = Array.from(title || '');
    return chars.length > TITLE_LIMIT ? chars.slice(0, TITLE_LIMIT).join('') : title || '';
}

// Whether report r makes a better stand-in for its tab than report b: playing beats not playing;
// among playing videos the larger one wins, among the others the one that played last.
function better(r, b) {
    if (r.playing !== b.playing) {
        return r.playing;
    }
    if (!r.playing && r.playedAt !== b.playedAt) {
        return r.playedAt > b.playedAt;
    }
    return r.area > b.area;
}

// The frame whose video stands for the tab, or null when none of its frames has one.
function tabFrame(tab) {
    let best = null;
    for (const frame of tab.frames.values()) {
        if (frame.report && (!best || better(frame.report, best.report))) {
            best = frame;
        }
    }
    return best;
}

function tabPlayedAt(tab) {
    let at = 0;
    for (const frame of tab.frames.values()) {
        if (frame.report && frame.report.playedAt > at) {
            at = frame.report.playedAt;
        }
    }
    return at;
}

// The tab the user chose in the popup, else the tab whose video started playing last; null when
// no video is followed.
function followedTab() {
    const {tabs, pinnedTab} = following;
    if (pinnedTab !== null) {
        return tabs.has(pinnedTab) && tabFrame(tabs.get(pinnedTab)) ? pinnedTab : null;
    }
    let best = null;
    let bestAt = 0;
    for (const [id, tab] of tabs) {
        const at = tabPlayedAt(tab);
        if (at > bestAt) {
            best = id;
            bestAt = at;
        }
    }
    return best;
}

function hasVideo(tabId) { return following.tabs.has(tabId) && tabFrame(following.tabs.get(tabId)) !== null; }

function sendVideo(tabId, r) {
    // Measured just before sending: how long ago the page read these values.
    const age = Math.max(0, nowMs() - r.readAt);
    send({
        type: 'video',
        tab: tabId,
        title: cutTitle(following.tabs.get(tabId).title),
        currentTime: r.currentTime,
        paused: r.paused,
        playbackRate: r.playbackRate,
        duration: r.duration,
        age: Math.round(age * 1000) / 1000,
    });
}

// Called after anything that may change which video is followed, so that the program hears of it
// at once rather than with the next report.
function refollow() {
    const followed = followedTab();
    const sentTab = following.sentTab;
    if (followed === sentTab) {
        return;
    }
    if (sentTab !== null && (followed === null || !hasVideo(sentTab))) {
        send({type: 'gone', tab: sentTab});
    }
    following.sentTab = followed;
    if (followed !== null) {
        sendVideo(followed, tabFrame(following.tabs.get(followed)).report);
    } else {
        send({type: 'idle'});
    }
}

// A new link: the program has heard of no tab yet.
function refollowAfresh() {
    following.sentTab = null;
    refollow();
    if (following.sentTab === null) {
        send({type: 'idle'});
    }
}

function addFrame(tabId, frameId, frame, title) {
    let tab = following.tabs.get(tabId);
    if (!tab) {
        tab = {title, titleAt: nowMs(), frames: new Map()};
        following.tabs.set(tabId, tab);
    }
    tab.frames.set(frameId, frame);
}

function isCurrentFrame(tabId, frameId, frame) { return following.tabs.get(tabId)?.frames.get(frameId) === frame; }

function onReport(tabId, frame, r) {
    const tab = following.tabs.get(tabId);
    frame.report = r;
    if (followedTab() === tabId && following.sentTab === tabId && tabFrame(tab) === frame) {
        sendVideo(tabId, r);
    } else {
        refollow();
    }
    refreshTitle(tabId, tab);
}

function onVideoGone(frame) {
    frame.report = null;
    refollow();
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
    if (following.pinnedTab === tabId) {
        following.pinnedTab = null;
        persist();
    }
    following.tabs.delete(tabId);
    refollow();
}

function pinTab(tabId) {
    following.pinnedTab = tabId;
    persist();
    refollow();
}

// The tab's title as the tabs API has it (the page's own, also for a video in a frame), asked
// for now and then rather than on every report.
function refreshTitle(tabId, tab) {
    const now = nowMs();
    if (now - tab.titleAt < TITLE_REFRESH_MS) {
        return;
    }
    tab.titleAt = now;
    api.tabs.get(tabId).then((info) => {
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
    const text = JSON.stringify(message);
    if (new TextEncoder().encode(text).length > PAYLOAD_LIMIT) {
        return;
    }
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
    const {tabs, pinnedTab} = following;
    const followed = followedTab();
    const list = [];
    for (const [id, tab] of tabs) {
        const frame = tabFrame(tab);
        if (frame) {
            list.push({tab: id, title: tab.title, playing: frame.report.playing, playedAt: tabPlayedAt(tab)});
        }
    }
    list.sort((a, b) => b.playedAt - a.playedAt || a.tab - b.tab);
    return {
        link: connection.link,
        approval: permission.approval,
        refused: permission.refused,
        failedOnce: connection.failedOnce,
        port: settings.port,
        pinnedTab,
        followed: followed === null ? null : {tab: followed, title: tabs.get(followed).title},
        tabs: list,
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
    api.storage.session.set({pinnedTab: following.pinnedTab, refused: permission.refused}).catch(() => {});
}

async function restore() {
    try {
        const local = await api.storage.local.get({port: DEFAULT_PORT});
        settings.port = validPort(local.port);
        const session = await api.storage.session.get({pinnedTab: null, refused: false});
        following.pinnedTab = typeof session.pinnedTab === 'number' ? session.pinnedTab : null;
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
                pinTab(typeof message.tab === 'number' ? message.tab : null);
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
    const frame = {port, report: null};
    const frameId = typeof sender.frameId === 'number' ? sender.frameId : 0;
    const joined = ready.then(() => addFrame(tabId, frameId, frame, sender.tab.title || ''));
    port.onMessage.addListener((message) => {
        joined.then(() => {
            if (!message || !isCurrentFrame(tabId, frameId, frame)) {
                return;
            }
            if (message.kind === 'video') {
                onReport(tabId, frame, message);
            } else if (message.kind === 'gone') {
                onVideoGone(frame);
            }
            tellPopups();
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
    if (followedTab() === null) {
        send({type: 'idle'});
    }
}, IDLE_PERIOD_MS);
