// A Cast device for the tests, on the castv2 package's own TLS server and message framing, so
// that a framing fault of the player's sender cannot hide behind a device of the same making.
// Answers CONNECT, LAUNCH, LOAD and STOP the way the Default Media Receiver does, pings each
// sender, fetches the media it is asked to load, and reports every step as a JSON line on stdout.
// Like many receivers it plays MP4 and refuses Matroska. A line "finish" on stdin ends playback
// on the device (the film is over).
//   node device.js KEY.pem CERT.pem
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const readline = require('readline');
const castv2 = require('castv2');
const proto = require('castv2/lib/proto');

const [keyFile, certFile] = process.argv.slice(2);
const NS = {
  connection: 'urn:x-cast:com.google.cast.tp.connection',
  heartbeat: 'urn:x-cast:com.google.cast.tp.heartbeat',
  receiver: 'urn:x-cast:com.google.cast.receiver',
  media: 'urn:x-cast:com.google.cast.media',
};
const report = (event) => process.stdout.write(JSON.stringify(event) + '\n');

const server = new castv2.Server({ key: fs.readFileSync(keyFile), cert: fs.readFileSync(certFile) });
const pinged = new Set();
const playing = new Map(); // client → { sender, transportId } of its loaded media
let launches = 0;

function send(client, source, destination, namespace, payload) {
  try {
    server.send(client, source, destination, namespace, JSON.stringify(payload));
  } catch (error) {
    report({ event: 'error', message: String(error) }); // the sender has gone
  }
}

function load(client, sender, transportId, message) {
  if (message.media.contentType === 'video/x-matroska') {
    send(client, transportId, sender, NS.media, { type: 'LOAD_FAILED', requestId: message.requestId });
    return;
  }
  const url = message.media.contentId;
  http.get(url, (response) => {
    const hash = crypto.createHash('sha256');
    let bytes = 0;
    response.on('data', (data) => { hash.update(data); bytes += data.length; });
    response.on('end', () => {
      report({ event: 'fetched', url, status: response.statusCode, bytes, sha256: hash.digest('hex') });
      playing.set(client, { sender, transportId });
      send(client, transportId, sender, NS.media, {
        type: 'MEDIA_STATUS', requestId: message.requestId,
        status: [{ mediaSessionId: 1, playerState: 'PLAYING', media: message.media }],
      });
    });
  }).on('error', (error) => {
    report({ event: 'fetched', url, error: String(error) });
    send(client, transportId, sender, NS.media, {
      type: 'MEDIA_STATUS', status: [{ mediaSessionId: 1, playerState: 'IDLE', idleReason: 'ERROR' }],
    });
  });
}

server.on('message', (client, source, destination, namespace, data) => {
  const message = typeof data === 'string' ? JSON.parse(data) : {};
  report({ event: 'message', client, source, destination, namespace, type: message.type, requestId: message.requestId,
    url: message.media && message.media.contentId });
  if (namespace === NS.connection && message.type === 'CONNECT' && !pinged.has(client)) {
    pinged.add(client);
    send(client, 'receiver-0', source, NS.heartbeat, { type: 'PING' });
  } else if (namespace === NS.receiver && message.type === 'LAUNCH') {
    launches += 1;
    send(client, 'receiver-0', source, NS.receiver, {
      type: 'RECEIVER_STATUS', requestId: message.requestId,
      status: { applications: [{ appId: message.appId, displayName: 'Default Media Receiver',
        sessionId: `session-${launches}`, transportId: `web-${launches}` }] },
    });
  } else if (namespace === NS.receiver && message.type === 'STOP') {
    playing.delete(client);
    send(client, 'receiver-0', source, NS.receiver, { type: 'RECEIVER_STATUS', requestId: message.requestId, status: { applications: [] } });
  } else if (namespace === NS.media && message.type === 'LOAD') {
    load(client, source, destination, message);
  } else if (namespace === NS.media && message.type === 'STOP') {
    send(client, destination, source, NS.media, {
      type: 'MEDIA_STATUS', requestId: message.requestId,
      status: [{ mediaSessionId: message.mediaSessionId, playerState: 'IDLE', idleReason: 'CANCELLED' }],
    });
  }
});

readline.createInterface({ input: process.stdin }).on('line', (line) => {
  if (line.trim() !== 'finish')
    return;
  for (const [client, { sender, transportId }] of playing)
    send(client, transportId, sender, NS.media, {
      type: 'MEDIA_STATUS', status: [{ mediaSessionId: 1, playerState: 'IDLE', idleReason: 'FINISHED' }],
    });
  playing.clear();
});

// The package reads its message description in the background: listen once it can frame.
(function whenReady() {
  try {
    proto.CastMessage.serialize({ protocolVersion: 0, sourceId: 's', destinationId: 'd', namespace: 'n', payloadType: 0, payloadUtf8: '' });
  } catch (error) {
    setTimeout(whenReady, 10);
    return;
  }
  server.listen(0, '127.0.0.1', () => {
    server.server.on('secureConnection', (socket) => {
      const client = [socket.remoteAddress, socket.remotePort].join(':');
      socket.on('close', () => report({ event: 'closed', client }));
    });
    report({ event: 'listening', port: server.server.address().port });
  });
})();
