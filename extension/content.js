// Runs in every frame of every page. Finds the <video> being watched in this frame and reports its
// clock to the background, which chooses the frame and the tab that DunvelBlenk follows. A frame
// without a video sends nothing and opens no port.
(() => {
    'use strict';
    const api = globalThis.browser ?? globalThis.chrome;

    const PLAYING_PERIOD_MS = 250;
    const PAUSED_PERIOD_MS = 1000;
    // Media events do not bubble, but a capturing listener on the document sees them on every video
    // in it, including ones added after this script ran.
    const MEDIA_EVENTS =
        ['play', 'pause', 'seeked', 'ratechange', 'loadedmetadata', 'emptied', 'ended', 'waiting', 'playing'];

    let port = null;
    let chosen = null;
    let timer = 0;
    let stopped = false;
    const playedAt = new WeakMap();
    const videos = document.getElementsByTagName('video');

    // Milliseconds since the epoch with sub-millisecond resolution; the background reads the same
    // clock when it works out how old a report is.
    function now() { return performance.timeOrigin + performance.now(); }

    function visibleArea(video) {
        const r = video.getBoundingClientRect();
        const w = Math.min(r.right, window.innerWidth) - Math.max(r.left, 0);
        const h = Math.min(r.bottom, window.innerHeight) - Math.max(r.top, 0);
        return w > 0 && h > 0 ? w * h : 0;
    }

    function isPlaying(video) { return !video.paused && !video.ended; }

    // The playing video with the largest visible area; when none plays, the one reported so far
    // (so that a pause is reported as a pause), else the one that played last, else the largest
    // one that has something to show.
    function pick() {
        let best = null;
        let bestArea = -1;
        for (const video of videos) {
            if (isPlaying(video)) {
                const area = visibleArea(video);
                if (area > bestArea) {
                    best = video;
                    bestArea = area;
                }
            }
        }
        if (best) {
            return best;
        }
        if (chosen && chosen.isConnected) {
            return chosen;
        }
        let lastAt = 0;
        for (const video of videos) {
            const at = playedAt.get(video) || 0;
            if (at > lastAt) {
                best = video;
                lastAt = at;
            }
        }
        if (best) {
            return best;
        }
        for (const video of videos) {
            if (video.currentSrc || video.srcObject) {
                const area = visibleArea(video);
                if (area > bestArea) {
                    best = video;
                    bestArea = area;
                }
            }
        }
        return best;
    }

    function snapshot(video) {
        const readAt = now();
        return {
            kind: 'video',
            readAt,
            currentTime: video.currentTime,
            // The film's clock stands still while seeking or waiting for data too, not only when
            // paused; DunvelBlenk must not run its clock on through a stall.
            paused:
                video.paused || video.ended || video.seeking || video.readyState < HTMLMediaElement.HAVE_FUTURE_DATA,
            playing: isPlaying(video),
            playbackRate: video.playbackRate,
            duration: Number.isFinite(video.duration) ? video.duration : null,
            playedAt: playedAt.get(video) || 0,
            area: visibleArea(video),
        };
    }

    function stop() {
        stopped = true;
        clearTimeout(timer);
        observer.disconnect();
        for (const type of MEDIA_EVENTS) {
            document.removeEventListener(type, onMediaEvent, true);
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
        // A video may have started before this script arrived (autoplay, or an extension installed
        // into an open page): it counts as started when it is first seen playing.
        for (const video of videos) {
            if (isPlaying(video) && !playedAt.has(video)) {
                playedAt.set(video, now());
            }
        }
        const video = pick();
        if (!video) {
            if (chosen) {
                chosen = null;
                send({kind: 'gone'});
            }
            return;
        }
        chosen = video;
        send(snapshot(video));
        if (!stopped) {
            timer = setTimeout(report, video.paused ? PAUSED_PERIOD_MS : PLAYING_PERIOD_MS);
        }
    }

    function onMediaEvent(event) {
        const target = event.target;
        if (!target || target.localName !== 'video') {
            return;
        }
        if (event.type === 'play') {
            playedAt.set(target, now());
        }
        report();
    }

    // Videos come and go with the page's scripts; the timer alone would notice a removal only up to a
    // second late.
    const observer = new MutationObserver(() => {
        if (chosen ? !chosen.isConnected : videos.length > 0) {
            report();
        }
    });

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
            chosen = null;
            report();
        }
    });

    report();
})();
