// Qorvelin's site, offline: when it installs, this worker keeps every file of the site in a
// cache named after the build, and from then on it answers from that cache first. A new
// build brings a new name; its worker installs beside the old one and waits, so a show that
// is playing goes on as it was, and takes over when the app or the page next starts, deleting
// the old cache.
'use strict';

// The origin may serve other sites, and other copies of this one under other paths: the
// caches of this copy are the ones named after its scope.
const cachePrefix = 'qorvelin ' + registration.scope + ' ';
const cacheName = cachePrefix + @BUILD@;
const siteFiles = @SITE_FILES@;

addEventListener('install', event => {
  // Past the browser's own cache, so that the new build's files are the ones kept.
  const requests = siteFiles.map(file => new Request(file, {cache: 'reload'}));
  event.waitUntil(caches.open(cacheName).then(cache => cache.addAll(requests)));
});

addEventListener('activate', event => {
  event.waitUntil(caches.keys().then(names => Promise.all(
      names.filter(name => name.startsWith(cachePrefix) && name !== cacheName)
          .map(name => caches.delete(name)))));
});

// The site's own address, its folder, is its index.html.
addEventListener('fetch', event => {
  if (event.request.method !== 'GET') return;
  const address = event.request.url.split(/[?#]/)[0];
  const asked = address === registration.scope ? 'index.html' : event.request;
  event.respondWith(caches.open(cacheName)
      .then(cache => cache.match(asked, {ignoreSearch: true}))
      .then(kept => kept || fetch(event.request)));
});
