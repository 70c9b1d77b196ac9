// The page's side of the browser platform, linked into k3lvana.js (emcc --js-library):
// the main loop's wake-ups, Web Audio output, round points, and what the page is told
// (ready for the start click, sound interrupted or back, ended). The page itself (index.html)
// owns the screens.
mergeInto(LibraryManager.library, {
  $K3L: {
    TIMER_SLACK_MS: 3,    // a wake-up further away than this (and than the browser's 4 ms timer floor) waits on a timer
    START_MARGIN_S: 0.05, // seconds between the context's clock and the first chunk queued after the queue ran dry
    ended: false,         // the show has exited: nothing more runs
    port: null,           // posts the loop's immediate wake-ups (timers never fire sooner than 4 ms)
    ctx: null,            // the AudioContext, once the start click made it
    gain: null,           // every queued chunk plays through it; dropped at once when the song stops
    anchor: 0,            // context time of the first frame queued since the queue last ran dry
    queued: 0,            // frames queued since then
    buffers: [],          // AudioBuffers reused in turn for the chunks
    next: 0,              // the buffer to fill next
    offsetMs: NaN,        // performance.now() - context time, at the output, from the last output timestamp
    stats: {ticks: [], events: [], dry: 0, outputs: []},  // what the page measured (read by people and tests)
    step: function() {
      if (K3L.ended) return;
      callUserCallback(function() { _k3lLoopWake(_k3lLoopStep()); });
    },
    // Asks a stopped context to run again: the page calls it from a click or a key, as browsers
    // start sound only from a gesture. The player notices when it runs (k3lAudioRunning).
    resume: function() {
      if (K3L.ended || !K3L.ctx || K3L.ctx.state == 'running') return;
      K3L.ctx.resume().catch(function() {});
    },
  },

  // The show's exit(0) keeps the runtime alive (the page is not torn down), so no exit handler
  // runs: every exit ends in quit_, which this wraps to stop the loop and show the end screen.
  $K3L__postset: 'var k3lQuit = quit_; quit_ = function(status, toThrow) { ' +
                 'K3L.ended = true; Module["pageEnded"](); k3lQuit(status, toThrow); };',

  k3lLoopWake__deps: ['$K3L', '$callUserCallback', 'k3lLoopStep'],
  k3lLoopWake: function(delayMs) {
    if (K3L.ended) return;
    if (delayMs > K3L.TIMER_SLACK_MS + 4) {
      setTimeout(K3L.step, delayMs - K3L.TIMER_SLACK_MS);
      return;
    }
    if (!K3L.port) {
      var channel = new MessageChannel();
      channel.port1.onmessage = K3L.step;
      K3L.port = channel.port2;
    }
    K3L.port.postMessage(0);
  },

  k3lPageReady__deps: ['$K3L', '$GLUT', '$Browser', '$callUserCallback', 'k3lStart', 'k3lResize', 'k3lKey'],
  k3lPageReady: function(fullScreen) {
    Module['k3lStats'] = K3L.stats;
    // Keys with a character reach the show's keyboard handler, as emscripten's GLUT passes them.
    window.addEventListener('keydown', function(event) {
      var key = GLUT.getSpecialKey(event['keyCode']) === null ? GLUT.getASCIIKey(event) : null;
      if (key === null || K3L.ended) return;
      event.preventDefault();
      callUserCallback(function() { _k3lKey(key, Browser.mouseX, Browser.mouseY); });
    }, true);
    Module['pageReady'](!!fullScreen, function(width, height) { _k3lResize(width, height); }, function() { _k3lStart(); });
  },


  // Points drawn round, as GL_POINT_SMOOTH draws them on the desktop: WebGL draws them
  // square. The GL emulation makes a shader pair for points whose vertex shader sets
  // gl_PointSize; its fragment shader, made next, gets an edge one pixel soft. The rewrite
  // matches the emulation's text: should a match miss (another emscripten), it says so on the
  // console and throws, at start and at the shader, rather than let the points turn square.
  k3lRoundPoints__deps: ['$GLImmediate'],
  k3lRoundPoints: function() {
    var gl = GLctx, shaderSource = gl.shaderSource.bind(gl), nextIsPoints = false;
    var SIZE_UNIFORM = 'uniform float u_pointSize;', SIZE_SET = 'gl_PointSize = u_pointSize;', MAIN = 'void main()';
    function missed(what) {
      var message = 'k3lvana: round points: ' + what + ' is not in the GL emulation\'s shader; points would be square';
      console.error(message);
      throw new Error(message);
    }
    var generator = String(GLImmediate.createRenderer);
    [SIZE_UNIFORM, SIZE_SET, MAIN].forEach(function(text) {
      if (generator.indexOf(text) < 0) missed(text);
    });
    gl.shaderSource = function(shader, source) {
      if (source.indexOf('gl_PointSize') >= 0) {
        if (source.indexOf(SIZE_UNIFORM) < 0) missed(SIZE_UNIFORM);
        if (source.indexOf(SIZE_SET) < 0) missed(SIZE_SET);
        nextIsPoints = true;
        source = source.replace(SIZE_UNIFORM, SIZE_UNIFORM + '\nvarying float v_pointSize;')
                       .replace(SIZE_SET, SIZE_SET + '\n  v_pointSize = u_pointSize;');
      } else if (nextIsPoints && gl.getShaderParameter(shader, gl.SHADER_TYPE) == gl.FRAGMENT_SHADER) {
        nextIsPoints = false;
        var end = source.lastIndexOf('}');
        if (source.indexOf(MAIN) < 0 || end < source.indexOf(MAIN)) missed(MAIN);
        source = source.replace(MAIN, 'varying float v_pointSize;\n' + MAIN);
        end = source.lastIndexOf('}');
        source = source.slice(0, end) +
                 '  gl_FragColor.a *= clamp(0.5 + v_pointSize * (0.5 - length(gl_PointCoord - vec2(0.5))), 0.0, 1.0);\n' +
                 source.slice(end);
      }
      shaderSource(shader, source);
    };
  },

  k3lNoteTick__deps: ['$K3L'],
  k3lNoteTick: function(dueMs, ranMs) {
    K3L.stats.ticks.push(dueMs, ranMs, K3L.offsetMs);
  },

  k3lNoteEvent__deps: ['$K3L'],
  k3lNoteEvent: function(parameter, outputMs, heardMs, releasedMs) {
    K3L.stats.events.push(parameter, outputMs, heardMs, releasedMs);
  },

  // The song's output changed: 1 the audio context plays it, 0 it goes on silently (performance.now() noted).
  // The page is told whether the sound is interrupted: silent while a context is still there to
  // run again (none is without Web Audio, or once one that never started was closed).
  k3lNoteOutput__deps: ['$K3L'],
  k3lNoteOutput: function(audio) {
    K3L.stats.outputs.push(performance.now(), audio);
    if (Module['pageSound']) Module['pageSound'](!audio && K3L.ctx !== null, K3L.resume);
  },

  // Makes the AudioContext (at the song's rate where the browser allows) and asks it to start; 0 without Web Audio.
  k3lAudioStart__deps: ['$K3L'],
  k3lAudioStart: function(rate) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    try {
      K3L.ctx = new Context({sampleRate: rate});
    } catch (e) {
      try { K3L.ctx = new Context(); } catch (e2) { return 0; }
    }
    K3L.ctx.resume();
    K3L.gain = null;
    K3L.queued = 0;
    return 1;
  },

  k3lAudioRunning__deps: ['$K3L'],
  k3lAudioRunning: function() {
    return K3L.ctx && K3L.ctx.state == 'running' && K3L.ctx.currentTime > 0 ? 1 : 0;
  },

  k3lAudioTime__deps: ['$K3L'],
  k3lAudioTime: function() {
    return K3L.ctx ? K3L.ctx.currentTime : 0;
  },

  // performance.now() minus context time (milliseconds) at the output: the output timestamp says which
  // context time the device plays at which performance.now() time (its latency included); where the
  // browser has none yet, the context clock plus its reported base and output latencies.
  k3lAudioOutputOffset__deps: ['$K3L'],
  k3lAudioOutputOffset: function() {
    var ctx = K3L.ctx, stamp = ctx.getOutputTimestamp ? ctx.getOutputTimestamp() : null;
    if (stamp && stamp.contextTime > 0 && stamp.performanceTime > 0) {
      K3L.offsetMs = stamp.performanceTime - stamp.contextTime * 1000;
    } else {
      K3L.offsetMs = performance.now() + ((ctx.baseLatency || 0) + (ctx.outputLatency || 0) - ctx.currentTime) * 1000;
    }
    return K3L.offsetMs;
  },

  // Queues `count` interleaved stereo frames right after the last chunk, or a little after the
  // context's clock when the queue ran dry; returns the context time of the chunk's first frame.
  k3lAudioQueue__deps: ['$K3L'],
  k3lAudioQueue: function(frames, count, rate) {
    var ctx = K3L.ctx;
    if (!K3L.gain) {
      K3L.gain = ctx.createGain();
      K3L.gain.connect(ctx.destination);
      K3L.queued = 0;
    }
    var start = K3L.anchor + K3L.queued / rate;
    if (K3L.queued == 0 || start < ctx.currentTime + K3L.START_MARGIN_S / 2) {
      if (K3L.queued > 0) K3L.stats.dry++;
      K3L.anchor = Math.ceil((ctx.currentTime + K3L.START_MARGIN_S) * ctx.sampleRate) / ctx.sampleRate;
      K3L.queued = 0;
      start = K3L.anchor;
    }
    if (K3L.buffers.length < 48) K3L.buffers.push(ctx.createBuffer(2, count, rate));
    var buffer = K3L.buffers[K3L.next++ % K3L.buffers.length];
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1), base = frames >> 2;
    for (var i = 0; i < count; i++) {
      left[i] = HEAPF32[base + 2 * i];
      right[i] = HEAPF32[base + 2 * i + 1];
    }
    var source = ctx.createBufferSource();
    source.buffer = buffer;
    source.connect(K3L.gain);
    source.start(start);
    K3L.queued += count;
    return start;
  },

  k3lAudioStop__deps: ['$K3L'],
  k3lAudioStop: function() {
    if (K3L.gain) K3L.gain.disconnect();
    K3L.gain = null;
  },

  k3lAudioClose__deps: ['$K3L', 'k3lAudioStop'],
  k3lAudioClose: function() {
    _k3lAudioStop();
    if (K3L.ctx) K3L.ctx.close();
    K3L.ctx = null;
  },
});
