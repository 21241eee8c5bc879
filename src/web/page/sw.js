// Keeps the page's own files so that it works offline once loaded: each is answered from the
// cache first, and fetched (and kept) only when the cache lacks it.
const cacheName = 'korvane-@KORVANE_VERSION@';
const files = ['./', 'index.html', 'korvane.css', 'app.js', 'play.js', 'korvane.js', 'korvane.wasm',
    'fflate.js', 'js-synthesizer.js', 'libfluidsynth.js', 'TimGM6mb.sf2', 'korvane.svg',
    'manifest.webmanifest', 'LICENSE', 'THIRD-PARTY.md'];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(cacheName).then((cache) => cache.addAll(files)).then(() => self.skipWaiting()));
});
self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter((name) => name !== cacheName).map((name) => caches.delete(name))))
        .then(() => self.clients.claim()));
});
self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET' || new URL(event.request.url).origin !== self.location.origin) return;
    event.respondWith(caches.open(cacheName).then(async (cache) => {
        const kept = await cache.match(event.request, { ignoreSearch: true });
        if (kept) return kept;
        const answer = await fetch(event.request);
        if (answer.ok) cache.put(event.request, answer.clone());
        return answer;
    }));
});
