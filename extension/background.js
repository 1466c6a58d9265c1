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

// The connection: link is "connecting", "open" or "closed"; approval is the program's last status
// ("pending", "allowed", "refused") on the open link. A refusal stops the reconnecting until the
// user asks again from the popup, changes the port, or restarts the browser.
let programPort = DEFAULT_PORT;
let socket = null;
let link = 'closed';
let approval = null;
let refused = false;
let failedOnce = false;
let retryDelay = FIRST_RETRY_MS;
let retryTimer = 0;

// Tabs with a frame that reports: tab id -> {title, titleAt, frames: Map(frame id -> {port, report})};
// a frame's report is null after its video went away. Rebuilt from the content scripts, which
// reconnect with their next report (within a second) after a restart.
const tabs = new Map();
let pinnedTab = null;
let sentTab = null;

function nowMs() { return performance.timeOrigin + performance.now(); }

function validPort(value) {
    const port = Number(value);
    return Number.isInteger(port) && port > 0 && port < 65536 ? port : DEFAULT_PORT;
}

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

function hasVideo(tabId) { return tabs.has(tabId) && tabFrame(tabs.get(tabId)) !== null; }

function send(message) {
    if (!socket || link !== 'open') {
        return;
    }
    const text = JSON.stringify(message);
    if (new TextEncoder().encode(text).length > PAYLOAD_LIMIT) {
        return;
    }
    try {
        socket.send(text);
    } catch (e) {
        // The close event follows and reconnects.
    }
}

function sendVideo(tabId, r) {
    // Measured just before sending: how long ago the page read these values.
    const age = Math.max(0, nowMs() - r.readAt);
    send({
        type: 'video',
        tab: tabId,
        title: cutTitle(tabs.get(tabId).title),
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
    if (followed === sentTab) {
        return;
    }
    if (sentTab !== null && (followed === null || !hasVideo(sentTab))) {
        send({type: 'gone', tab: sentTab});
    }
    sentTab = followed;
    if (followed !== null) {
        sendVideo(followed, tabFrame(tabs.get(followed)).report);
    } else {
        send({type: 'idle'});
    }
}

function onReport(tabId, frame, r) {
    const tab = tabs.get(tabId);
    frame.report = r;
    if (followedTab() === tabId && sentTab === tabId && tabFrame(tab) === frame) {
        sendVideo(tabId, r);
    } else {
        refollow();
    }
    refreshTitle(tabId, tab);
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
        }
    }, () => {});
}

function persist() { api.storage.session.set({pinnedTab, refused}).catch(() => {}); }

// --- the socket ---

function scheduleRetry() {
    clearTimeout(retryTimer);
    retryTimer = setTimeout(connect, retryDelay);
    retryDelay = Math.min(retryDelay * 2, LAST_RETRY_MS);
}

function connect() {
    clearTimeout(retryTimer);
    retryTimer = 0;
    if (socket || refused) {
        return;
    }
    let ws;
    try {
        ws = new WebSocket(`ws://127.0.0.1:${programPort}/`);
    } catch (e) {
        failedOnce = true;
        scheduleRetry();
        return;
    }
    socket = ws;
    link = 'connecting';
    approval = null;
    ws.onopen = () => {
        if (socket !== ws) {
            return;
        }
        link = 'open';
        failedOnce = false;
        retryDelay = FIRST_RETRY_MS;
        send({type: 'hello', version: 1});
        sentTab = null;
        refollow();
        if (sentTab === null) {
            send({type: 'idle'});
        }
    };
    ws.onmessage = (event) => {
        if (socket !== ws || typeof event.data !== 'string') {
            return;
        }
        let message;
        try {
            message = JSON.parse(event.data);
        } catch (e) {
            return;
        }
        if (message && message.type === 'status' && ['pending', 'allowed', 'refused'].includes(message.state)) {
            approval = message.state;
            if (approval === 'refused') {
                refused = true;
                persist();
            }
        }
    };
    ws.onclose = () => {
        if (socket !== ws) {
            return;
        }
        socket = null;
        link = 'closed';
        if (!refused) {
            approval = null;
            failedOnce = true;
            scheduleRetry();
        }
    };
}

function reconnect() {
    const old = socket;
    socket = null;
    link = 'closed';
    approval = null;
    failedOnce = false;
    retryDelay = FIRST_RETRY_MS;
    if (old) {
        old.close(1000);
    }
    connect();
}

// --- restoring after a restart ---

async function restore() {
    try {
        const local = await api.storage.local.get({port: DEFAULT_PORT});
        programPort = validPort(local.port);
        const session = await api.storage.session.get({pinnedTab: null, refused: false});
        pinnedTab = typeof session.pinnedTab === 'number' ? session.pinnedTab : null;
        refused = session.refused === true;
    } catch (e) {
        // Defaults it is.
    }
    connect();
}

const ready = restore();

// --- listeners ---

// One port per frame that has (or had) a video; the port closing means the frame is gone: navigated,
// closed, crashed, or put in the back-forward cache.
api.runtime.onConnect.addListener((port) => {
    const sender = port.sender || {};
    if (port.name !== 'video' || !sender.tab || typeof sender.tab.id !== 'number') {
        port.disconnect();
        return;
    }
    const tabId = sender.tab.id;
    const frame = {port, report: null};
    const frameId = typeof sender.frameId === 'number' ? sender.frameId : 0;
    const joined = ready.then(() => {
        let tab = tabs.get(tabId);
        if (!tab) {
            tab = {title: sender.tab.title || '', titleAt: nowMs(), frames: new Map()};
            tabs.set(tabId, tab);
        }
        tab.frames.set(frameId, frame);
    });
    port.onMessage.addListener((message) => {
        joined.then(() => {
            if (!message || tabs.get(tabId)?.frames.get(frameId) !== frame) {
                return;
            }
            if (message.kind === 'video') {
                onReport(tabId, frame, message);
            } else if (message.kind === 'gone') {
                frame.report = null;
                refollow();
            }
        });
    });
    port.onDisconnect.addListener(() => {
        joined.then(() => {
            const tab = tabs.get(tabId);
            if (tab && tab.frames.get(frameId) === frame) {
                tab.frames.delete(frameId);
                if (tab.frames.size === 0) {
                    tabs.delete(tabId);
                }
                refollow();
            }
        });
    });
});

api.tabs.onRemoved.addListener((tabId) => {
    ready.then(() => {
        if (pinnedTab === tabId) {
            pinnedTab = null;
            persist();
        }
        tabs.delete(tabId);
        refollow();
    });
});

api.storage.onChanged.addListener((changes, area) => {
    if (area === 'local' && changes.port) {
        ready.then(() => {
            programPort = validPort(changes.port.newValue);
            refused = false;
            persist();
            reconnect();
        });
    }
});

// What the popup shows, and what it may change.
api.runtime.onMessage.addListener((message, sender, sendResponse) => {
    if (!sender.url || !sender.url.startsWith(api.runtime.getURL(''))) {
        return false;
    }
    ready.then(() => {
        if (message && message.kind === 'choose') {
            pinnedTab = typeof message.tab === 'number' ? message.tab : null;
            persist();
            refollow();
        } else if (message && message.kind === 'ask-again') {
            refused = false;
            persist();
            reconnect();
        } else if (!socket && !refused) {
            connect();
        }
        const followed = followedTab();
        const list = [];
        for (const [id, tab] of tabs) {
            const frame = tabFrame(tab);
            if (frame) {
                list.push({tab: id, title: tab.title, playing: frame.report.playing, playedAt: tabPlayedAt(tab)});
            }
        }
        list.sort((a, b) => b.playedAt - a.playedAt || a.tab - b.tab);
        sendResponse({
            link,
            approval,
            refused,
            failedOnce,
            port: programPort,
            pinnedTab,
            followed: followed === null ? null : {tab: followed, title: tabs.get(followed).title},
            tabs: list,
        });
    });
    return true;
});

// A stopped service worker has no timers; the alarm wakes it to try the program again.
api.alarms.onAlarm.addListener((alarm) => {
    if (alarm.name === WAKE_ALARM) {
        ready.then(() => {
            if (!socket && !refused) {
                connect();
            }
        });
    }
});
api.alarms.create(WAKE_ALARM, {periodInMinutes: 0.5});

setInterval(() => {
    if (followedTab() === null) {
        send({type: 'idle'});
    }
}, IDLE_PERIOD_MS);
