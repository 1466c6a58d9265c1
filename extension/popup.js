// The toolbar popup: what the link is doing, which video is followed, the others to choose from, and
// DunvelBlenk's port. The background holds the state and sends it over a port: once when the popup
// opens, then on every change.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;

const statusLine = document.getElementById('status');
const askAgain = document.getElementById('ask-again');
const videoList = document.getElementById('videos');
const extensionId = document.getElementById('extension-id');
const portInput = document.getElementById('port');
let shownList = '';
// Each listed video's name -> the text that says where it is and whether it plays.
let stateTexts = new Map();
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
    return [state.videos.length ? 'Connected: start the film, or choose it below' : 'Connected: no video in any tab',
        'warn'];
}

function clockText(seconds) {
    const h = Math.floor(seconds / 3600);
    const m = Math.floor(seconds / 60) % 60;
    const s = String(seconds % 60).padStart(2, '0');
    return h ? `${h}:${String(m).padStart(2, '0')}:${s}` : `${m}:${s}`;
}

function stateText(video) {
    return `${clockText(video.at)} ${video.playing ? 'playing' : 'paused'}${video.muted ? ', muted' : ''}`;
}

function option(video, followed) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'radio';
    input.name = 'follow';
    input.value = video.video;
    input.checked = followed;
    input.addEventListener('change', () => choose(video.video));
    const title = document.createElement('span');
    title.className = 'title';
    title.textContent = video.title || 'untitled page';
    title.title = title.textContent;
    const state = document.createElement('span');
    state.className = 'state';
    stateTexts.set(video.video, state);
    label.append(input, title, state);
    return label;
}

function showVideos(state) {
    // Rebuilt only when the list or the followed video changed, so that a click is not lost to a
    // redraw; the times and states are updated in place.
    const followed = state.followed ? state.followed.video : null;
    const key = JSON.stringify([followed, state.videos.map((v) => [v.video, v.title])]);
    if (key !== shownList) {
        shownList = key;
        stateTexts = new Map();
        const rows = state.videos.map((video) => option(video, video.video === followed));
        if (rows.length === 0) {
            const none = document.createElement('div');
            none.className = 'none';
            none.textContent = 'No tab has a video.';
            rows.push(none);
        }
        videoList.replaceChildren(...rows);
    }
    for (const video of state.videos) {
        stateTexts.get(video.video).textContent = stateText(video);
    }
}

function show(state) {
    if (!state) {
        return;
    }
    const [text, tone] = statusOf(state);
    statusLine.textContent = text;
    statusLine.className = tone;
    askAgain.hidden = !state.refused;
    showVideos(state);
    extensionId.textContent = `Extension id: ${state.extensionId}`;
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

function choose(video) {
    // The list is redrawn from the state that comes next, whether or not the choice got through.
    shownList = '';
    background.postMessage({kind: 'choose', video});
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
