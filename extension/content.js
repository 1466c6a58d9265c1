// Runs in every frame of every page. Tells the background about the <video>s in this frame: each
// one's clock, and whether it really plays as one the user started. The background chooses the one
// video that DunvelBlenk follows; this script only reports. A frame without a video sends nothing
// and opens no port.
(() => {
    'use strict';
    const api = globalThis.browser ?? globalThis.chrome;

    const PLAYING_PERIOD_MS = 250;
    const PAUSED_PERIOD_MS = 1000;
    // A video whose time has not moved for this long is not playing, whatever its flags say.
    const ADVANCING_MS = 1500;
    // Media events do not bubble, but a capturing listener on the document sees them on every video
    // in it, including ones added after this script ran.
    const MEDIA_EVENTS =
        ['play', 'pause', 'seeked', 'ratechange', 'loadedmetadata', 'emptied', 'ended', 'waiting', 'playing'];
    // Events that only the browser itself fires on a video that plays; a page's dispatchEvent makes
    // untrusted copies of them, which count for nothing.
    const STARTED_EVENTS = ['play', 'playing', 'timeupdate'];

    // This document's name among all the pages of the browser: with a number per element, it names
    // a video for as long as the element lives, and no other.
    const documentName = randomName();
    let nextNumber = 1;
    // Per video: {number, listed, started, startedAt, lastTime, advancedAt, presented}.
    const facts = new WeakMap();
    // The videos in the last report, and how many the frame had then, so that a video removed or
    // added is reported at once.
    let listed = [];
    let videoCount = 0;
    let port = null;
    let timer = 0;
    let stopped = false;
    const videos = document.getElementsByTagName('video');

    function randomName() {
        const bytes = new Uint8Array(8);
        crypto.getRandomValues(bytes);
        return Array.from(bytes, (b) => (b % 36).toString(36)).join('');
    }

    // Milliseconds since the epoch with sub-millisecond resolution; the background reads the same
    // clock when it works out how old a report is.
    function now() { return performance.timeOrigin + performance.now(); }

    function factsOf(video) {
        let f = facts.get(video);
        if (!f) {
            f = {number: nextNumber++, listed: false, started: false, startedAt: 0, lastTime: NaN, advancedAt: 0,
                 presented: false};
            facts.set(video, f);
            watchFrames(video, f);
        }
        return f;
    }

    // Whether the video has put a frame on the screen: requestVideoFrameCallback is called only for
    // frames that were presented; without it, the frames it decoded for showing.
    function watchFrames(video, f) {
        if (typeof video.requestVideoFrameCallback === 'function') {
            video.requestVideoFrameCallback(() => {
                f.presented = true;
            });
        }
    }

    function framesShown(video, f) {
        if (f.presented) {
            return true;
        }
        if (typeof video.requestVideoFrameCallback === 'function') {
            return false;
        }
        const quality = typeof video.getVideoPlaybackQuality === 'function' ? video.getVideoPlaybackQuality() : null;
        return Boolean(quality && quality.totalVideoFrames > 0);
    }

    function visibleArea(video) {
        const r = video.getBoundingClientRect();
        const w = Math.min(r.right, window.innerWidth) - Math.max(r.left, 0);
        const h = Math.min(r.bottom, window.innerHeight) - Math.max(r.top, 0);
        return w > 0 && h > 0 ? w * h : 0;
    }

    function isPlaying(video) { return !video.paused && !video.ended; }

    // A video is worth reporting once it has something to play; from then on it is reported for as
    // long as it is in the page, whatever becomes of its source.
    function isListed(video) {
        const f = factsOf(video);
        if (!f.listed && (video.currentSrc || video.srcObject)) {
            f.listed = true;
        }
        return f.listed;
    }

    function snapshot(video, readAt) {
        const f = factsOf(video);
        const time = video.currentTime;
        if (isPlaying(video) && time > f.lastTime) {
            f.advancedAt = readAt;
        }
        f.lastTime = time;
        const area = visibleArea(video);
        const muted = video.muted || video.volume === 0;
        return {
            id: `${documentName}.${f.number}`,
            currentTime: time,
            // The film's clock stands still while seeking or waiting for data too, not only when
            // paused; DunvelBlenk must not run its clock on through a stall.
            paused:
                video.paused || video.ended || video.seeking || video.readyState < HTMLMediaElement.HAVE_FUTURE_DATA,
            playing: isPlaying(video),
            playbackRate: video.playbackRate,
            duration: Number.isFinite(video.duration) ? video.duration : null,
            startedAt: f.startedAt,
            muted,
            area,
            // Plays as a film the user started does: started by the browser (not a page's made-up
            // event), its time moving, with data and frames shown, seen in the page, and heard. A
            // muted preview or advert never is.
            qualifies: f.started && isPlaying(video) && readAt - f.advancedAt < ADVANCING_MS &&
                video.readyState >= HTMLMediaElement.HAVE_CURRENT_DATA && framesShown(video, f) && area > 0 && !muted,
        };
    }

    function stop() {
        stopped = true;
        clearTimeout(timer);
        observer.disconnect();
        for (const type of MEDIA_EVENTS) {
            document.removeEventListener(type, onMediaEvent, true);
        }
        for (const type of STARTED_EVENTS) {
            document.removeEventListener(type, onStarted, true);
        }
        port = null;
    }

    function send(message) {
        if (!port) {
            try {
                port = api.runtime.connect({name: 'video'});
            } catch (e) {
                // The extension was reloaded or removed: this copy of the script is an orphan.
                stop();
                return;
            }
            port.onDisconnect.addListener(() => {
                port = null;
            });
        }
        try {
            port.postMessage(message);
        } catch (e) {
            port = null;
        }
    }

    function report() {
        clearTimeout(timer);
        if (stopped) {
            return;
        }
        const readAt = now();
        videoCount = videos.length;
        const current = Array.from(videos).filter(isListed);
        if (current.length === 0) {
            if (listed.length > 0) {
                listed = [];
                send({kind: 'videos', readAt, videos: []});
            }
            return;
        }
        listed = current;
        send({kind: 'videos', readAt, videos: current.map((video) => snapshot(video, readAt))});
        if (!stopped) {
            timer = setTimeout(report, current.some(isPlaying) ? PLAYING_PERIOD_MS : PAUSED_PERIOD_MS);
        }
    }

    function onStarted(event) {
        const target = event.target;
        if (event.isTrusted && target && target.localName === 'video' && !target.paused) {
            const f = factsOf(target);
            if (!f.started || event.type === 'play') {
                f.started = true;
                f.startedAt = now();
            }
        }
    }

    function onMediaEvent(event) {
        const target = event.target;
        if (target && target.localName === 'video') {
            report();
        }
    }

    // Videos come and go with the page's scripts; the timer alone would notice a removal only up to a
    // second late.
    const observer = new MutationObserver(() => {
        if (videos.length !== videoCount || listed.some((video) => !video.isConnected)) {
            report();
        }
    });

    for (const type of STARTED_EVENTS) {
        document.addEventListener(type, onStarted, true);
    }
    for (const type of MEDIA_EVENTS) {
        document.addEventListener(type, onMediaEvent, true);
    }
    observer.observe(document, {childList: true, subtree: true});

    // A page put in the back-forward cache keeps its videos but is no longer watched; closing the
    // port tells the background so. Coming back reports afresh.
    window.addEventListener('pagehide', () => {
        clearTimeout(timer);
        if (port) {
            port.disconnect();
            port = null;
        }
    });
    window.addEventListener('pageshow', (event) => {
        if (event.persisted) {
            listed = [];
            report();
        }
    });

    report();
})();
