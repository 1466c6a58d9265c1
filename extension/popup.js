// The toolbar popup: what the link is doing, which tab is followed, and DunvelBlenk's port. The
// background holds the state and sends it over a port: once when the popup opens, then on every change.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;

const statusLine = document.getElementById('status');
const askAgain = document.getElementById('ask-again');
const tabList = document.getElementById('tabs');
const portInput = document.getElementById('port');
let shownList = '';
let portShown = false;
let background = null;

function statusOf(state) {
    if (state.link !== 'open') {
        if (state.refused) {
            return ['Refused in DunvelBlenk', 'bad'];
        }
        return state.failedOnce ? ['DunvelBlenk not running', 'bad'] : ['Connecting to DunvelBlenk…', ''];
    }
    switch (state.approval) {
        case 'pending':
            return ['Not allowed yet: confirm in DunvelBlenk', 'warn'];
        case 'refused':
            return ['Refused in DunvelBlenk', 'bad'];
        case 'allowed':
            break;
        default:
            return ['Connected: waiting for DunvelBlenk\'s answer', 'warn'];
    }
    if (state.followed) {
        return [`Following: ${state.followed.title || 'untitled page'}`, ''];
    }
    if (state.pinnedTab !== null) {
        return ['Connected: the chosen tab has no video', 'warn'];
    }
    return [state.tabs.length ? 'Connected: no video has played yet' : 'Connected: no video in any tab', 'warn'];
}

function option(value, text, note, checked) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'radio';
    input.name = 'follow';
    input.value = value;
    input.checked = checked;
    input.addEventListener('change', () => choose(value === 'auto' ? null : Number(value)));
    const title = document.createElement('span');
    title.className = 'title';
    title.textContent = text;
    title.title = text;
    label.append(input, title);
    if (note) {
        const state = document.createElement('span');
        state.className = 'state';
        state.textContent = note;
        label.append(state);
    }
    return label;
}

function showTabs(state) {
    // Rebuilt only when something changed, so that a click is not lost to a redraw.
    const key = JSON.stringify([state.pinnedTab, state.tabs.map((t) => [t.tab, t.title, t.playing])]);
    if (key === shownList) {
        return;
    }
    shownList = key;
    const rows = [option('auto', 'The video that played last', '', state.pinnedTab === null)];
    for (const tab of state.tabs) {
        rows.push(option(
            String(tab.tab), tab.title || 'untitled page', tab.playing ? 'playing' : 'paused',
            state.pinnedTab === tab.tab));
    }
    if (state.pinnedTab !== null && !state.tabs.some((t) => t.tab === state.pinnedTab)) {
        rows.push(option(String(state.pinnedTab), 'The chosen tab (no video now)', '', true));
    }
    if (state.tabs.length === 0) {
        const none = document.createElement('div');
        none.className = 'none';
        none.textContent = 'No tab has a video.';
        rows.push(none);
    }
    tabList.replaceChildren(...rows);
}

function show(state) {
    if (!state) {
        return;
    }
    const [text, tone] = statusOf(state);
    statusLine.textContent = text;
    statusLine.className = tone;
    askAgain.hidden = !state.refused;
    showTabs(state);
    if (!portShown) {
        portInput.value = state.port;
        portShown = true;
    }
}

// Connecting wakes a stopped background. An idle one may still be stopped while the popup is open,
// which closes the port; connecting again wakes it and brings the state afresh. A port closed before
// any answer was refused, and would be again.
function listen() {
    const port = api.runtime.connect({name: 'popup'});
    let answered = false;
    port.onMessage.addListener((state) => {
        answered = true;
        show(state);
    });
    port.onDisconnect.addListener(() => {
        if (answered) {
            listen();
        }
    });
    background = port;
}

function choose(tab) {
    // The list is redrawn from the state that comes next, whether or not the choice got through.
    shownList = '';
    background.postMessage({kind: 'choose', tab});
}

askAgain.addEventListener('click', () => background.postMessage({kind: 'ask-again'}));

document.getElementById('port-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const port = Number(portInput.value);
    if (Number.isInteger(port) && port > 0 && port < 65536) {
        api.storage.local.set({port});
    }
});

listen();
