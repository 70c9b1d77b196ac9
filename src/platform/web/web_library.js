// The page's side of the browser platform, linked into k3lvana.js (emcc --js-library):
// the main loop's wake-ups, Web Audio output, round points, the GL state kept for a lost
// context, and what the page is told (ready for the start click, sound or graphics
// interrupted or back, ended). The page itself (index.html) owns the screens.
mergeInto(LibraryManager.library, {
  $K3L: {
    TIMER_SLACK_MS: 3,    // a wake-up further away than this (and than the browser's 4 ms timer floor) waits on a timer
    START_MARGIN_S: 0.05, // seconds between the context's clock and the first chunk queued after the queue ran dry
    ended: false,         // the show has exited: nothing more runs
    looping: false,       // the main loop has started (at the start click)
    wakeId: 0,            // the latest wake-up asked for: an earlier one still pending is ignored when it comes
    port: null,           // posts the loop's immediate wake-ups (timers never fire sooner than 4 ms)
    worker: null,         // a worker's timer wakes the loop while the page is hidden (the page's own timers are throttled then)
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
    // Runs the loop's turn for wake-up `id` unless a later wake-up replaced it.
    wake: function(id) {
      if (id === K3L.wakeId) K3L.step();
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

  // Wakes the loop after `delayMs`: a timer for far wake-ups, a message for near ones. A hidden page's
  // timers fire once a second at most (more rarely still under the browser's background budget),
  // which would starve the music and drop the show's ticks: while hidden, a worker's timer wakes it.
  k3lLoopWake__deps: ['$K3L', '$callUserCallback', 'k3lLoopStep'],
  k3lLoopWake: function(delayMs) {
    if (K3L.ended) return;
    K3L.looping = true;
    var id = ++K3L.wakeId;
    if (delayMs > K3L.TIMER_SLACK_MS + 4) {
      if (!document.hidden) {
        setTimeout(K3L.wake, delayMs - K3L.TIMER_SLACK_MS, id);
        return;
      }
      if (!K3L.worker) {
        var code = 'onmessage = function(e) { setTimeout(function() { postMessage(e.data[0]); }, e.data[1]); };';
        K3L.worker = new Worker(URL.createObjectURL(new Blob([code], {type: 'text/javascript'})));
        K3L.worker.onmessage = function(event) { K3L.wake(event.data); };
      }
      K3L.worker.postMessage([id, delayMs - K3L.TIMER_SLACK_MS]);
      return;
    }
    if (!K3L.port) {
      var channel = new MessageChannel();
      channel.port1.onmessage = function(event) { K3L.wake(event.data); };
      K3L.port = channel.port2;
    }
    K3L.port.postMessage(id);
  },

  k3lPageReady__deps: ['$K3L', '$GLUT', '$Browser', '$callUserCallback', 'k3lStart', 'k3lResize', 'k3lKey', 'k3lLoopWake'],
  k3lPageReady: function(fullScreen) {
    Module['k3lStats'] = K3L.stats;
    // Keys with a character reach the show's keyboard handler, as emscripten's GLUT passes them.
    window.addEventListener('keydown', function(event) {
      var key = GLUT.getSpecialKey(event['keyCode']) === null ? GLUT.getASCIIKey(event) : null;
      if (key === null || K3L.ended) return;
      event.preventDefault();
      callUserCallback(function() { _k3lKey(key, Browser.mouseX, Browser.mouseY); });
    }, true);
    // emscripten's GLUT turns touches on the canvas into mouse events for a mouse handler, which the
    // show has none of; its listeners would only keep a tap on the picture from reaching the page as a
    // click (and warn on every touch). They go.
    ['touchstart', 'touchmove', 'touchend'].forEach(function(type) { window.removeEventListener(type, GLUT.touchHandler, true); });
    // Hidden or shown again, the page takes the loop's next turn at once, on the right kind of timer.
    document.addEventListener('visibilitychange', function() {
      if (K3L.looping && !K3L.ended) _k3lLoopWake(0);
    });
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

  // The GL state the show set and the textures it uploaded, kept as they reach WebGL, so that a
  // context the browser takes away (a GPU reset, memory reclaimed, too many contexts) can be made
  // again as the show left it when the browser gives it back. The emulation's own objects
  // (shaders, buffers) are made afresh by the emulation; its matrices and fixed-function state
  // live in JavaScript and survive.
  $K3LGL: {
    RESTORE_WAIT_MS: 5000,  // ms a lost context may take to come back before the page offers a reload
    // Setters whose last call is the state: by name, and for KEYED by name and first argument.
    SETTERS: ['blendColor', 'blendEquation', 'blendEquationSeparate', 'blendFunc', 'blendFuncSeparate', 'clearColor',
              'clearDepth', 'clearStencil', 'colorMask', 'cullFace', 'depthFunc', 'depthMask', 'depthRange', 'frontFace',
              'lineWidth', 'polygonOffset', 'sampleCoverage', 'scissor', 'stencilFunc', 'stencilMask', 'stencilOp', 'viewport'],
    KEYED: ['hint', 'pixelStorei'],
    UNPACK: [0x0CF5, 0x9240, 0x9241, 0x9243],  // pixelStorei settings an upload depends on (alignment, flip, premultiply, colour space)
    raw: {},       // the context's own methods, under the keeping wrappers
    caps: {},      // capability -> enabled
    settings: {},  // setter (and first argument) -> [method, its last arguments]
    unit: 0x84C0,  // the active texture unit
    bound: {},     // unit -> target -> name of the texture bound there (0 for none)
    lostAt: -1,    // performance.now() when the context was lost, or -1
    // The texture bound for `target` on the active unit, as emscripten names it, or null.
    texture: function(target) {
      var binding = target == 0x0DE1 ? target : 0x8513;  // TEXTURE_2D, else one of TEXTURE_CUBE_MAP's faces
      var bound = K3LGL.bound[K3LGL.unit];
      return bound && bound[binding] ? GL.textures[bound[binding]] : null;
    },
    // Notes a setter's call as the state it sets, reusing the arrays it kept before (the show sets
    // some state on every frame). blendFunc and blendFuncSeparate set the same state, as do the others' pairs.
    set: function(key, method, args) {
      var setting = K3LGL.settings[key] || (K3LGL.settings[key] = [method, []]);
      setting[0] = method;
      setting[1].length = args.length;
      for (var i = 0; i < args.length; i++) setting[1][i] = args[i];
    },
    // Notes an upload into the bound texture: a whole level replaces what that level held.
    upload: function(method, args) {
      var texture = K3LGL.texture(args[0]);
      if (!texture) return;
      var kept = texture.k3lKept;
      if (method == 'texImage2D') {
        kept.uploads = kept.uploads.filter(function(u) { return u.args[0] != args[0] || u.args[1] != args[1]; });
      }
      var copy = Array.prototype.slice.call(args), last = copy.length - 1;
      if (ArrayBuffer.isView(copy[last])) copy[last] = copy[last].slice();
      var store = {};
      K3LGL.UNPACK.forEach(function(pname) {
        var setting = K3LGL.settings['pixelStorei ' + pname];
        if (setting) store[pname] = setting[1][1];
      });
      kept.uploads.push({method: method, args: copy, store: store});
    },
    // Wraps the context's calls so that what they set is kept.
    keep: function(gl) {
      function wrap(method, note) {
        var call = K3LGL.raw[method] = gl[method].bind(gl);
        gl[method] = function() { note(arguments); return call.apply(null, arguments); };
      }
      K3LGL.SETTERS.forEach(function(method) {
        var key = method.replace(/Separate$/, '');
        wrap(method, function(args) { K3LGL.set(key, method, args); });
      });
      K3LGL.KEYED.forEach(function(method) {
        wrap(method, function(args) { K3LGL.set(method + ' ' + args[0], method, args); });
      });
      wrap('enable', function(args) { K3LGL.caps[args[0]] = true; });
      wrap('disable', function(args) { K3LGL.caps[args[0]] = false; });
      wrap('activeTexture', function(args) { K3LGL.unit = args[0]; });
      wrap('bindTexture', function(args) {
        var texture = args[1];
        if (texture && !texture.k3lKept) texture.k3lKept = {target: args[0], parameters: {}, calls: {}, uploads: []};
        (K3LGL.bound[K3LGL.unit] || (K3LGL.bound[K3LGL.unit] = {}))[args[0]] = texture ? texture.name : 0;
      });
      ['texParameteri', 'texParameterf'].forEach(function(method) {
        wrap(method, function(args) {
          var texture = K3LGL.texture(args[0]);
          if (!texture) return;
          texture.k3lKept.parameters[args[1]] = args[2];
          texture.k3lKept.calls[args[1]] = method;
        });
      });
      ['texImage2D', 'texSubImage2D', 'generateMipmap'].forEach(function(method) {
        wrap(method, function(args) { K3LGL.upload(method, args); });
      });
      K3LGL.raw.createTexture = gl.createTexture.bind(gl);
    },
    // Makes the restored context again as the show left it: emscripten's extensions, every texture
    // under the name the show knows it by, the state set, the bindings, and the emulation's objects.
    restore: function(gl) {
      var raw = K3LGL.raw;
      GL.currentContext.initExtensionsDone = false;
      GL.initExtensions(GL.currentContext);
      raw.activeTexture(0x84C0);
      GL.textures.forEach(function(old, name) {
        if (!old || !old.k3lKept) return;
        var texture = raw.createTexture(), kept = old.k3lKept;
        texture.name = name;
        texture.k3lKept = kept;
        GL.textures[name] = texture;
        raw.bindTexture(kept.target, texture);
        for (var pname in kept.parameters) raw[kept.calls[pname]](kept.target, Number(pname), kept.parameters[pname]);
        kept.uploads.forEach(function(upload) {
          for (var store in upload.store) raw.pixelStorei(Number(store), upload.store[store]);
          raw[upload.method].apply(null, upload.args);
        });
      });
      for (var key in K3LGL.settings) raw[K3LGL.settings[key][0]].apply(null, K3LGL.settings[key][1]);
      for (var cap in K3LGL.caps) raw[K3LGL.caps[cap] ? 'enable' : 'disable'](Number(cap));
      for (var unit in K3LGL.bound) {
        raw.activeTexture(Number(unit));
        for (var target in K3LGL.bound[unit]) raw.bindTexture(Number(target), GL.textures[K3LGL.bound[unit][target]] || null);
      }
      raw.activeTexture(K3LGL.unit);
      // The emulation's buffers and shader programs are made again; nothing of the old ones is reused.
      GL.generateTempBuffers(true, GL.currentContext);
      gl.currentArrayBufferBinding = gl.currentElementArrayBufferBinding = 0;
      GLImmediate.rendererCache = GLImmediate.MapTreeLib.create();
      GLImmediate.currentRenderer = GLImmediate.lastRenderer = GLImmediate.lastArrayBuffer = GLImmediate.lastProgram = null;
      GLImmediate.fixedFunctionProgram = 0;
      GLImmediate.modifiedClientAttributes = true;
    },
  },

  // Keeps the GL state the show sets from now on, and lets the browser give a lost context back:
  // while it is lost the picture is not drawn (the page says so) and the music and the show go on;
  // once restored, it is made again and the next frame draws the show's picture.
  k3lKeepGraphics__deps: ['$K3LGL', '$GL', '$GLImmediate', '$K3L', '$callUserCallback', 'k3lGraphicsLost'],
  k3lKeepGraphics: function() {
    var gl = GLctx, canvas = Module['canvas'];
    K3LGL.keep(gl);
    function tell(state) {
      if (Module['pageGraphics'] && !K3L.ended) Module['pageGraphics'](state);
    }
    canvas.addEventListener('webglcontextlost', function(event) {
      event.preventDefault();  // the browser may give the context back
      var lostAt = K3LGL.lostAt = performance.now();
      _k3lGraphicsLost(1);
      tell('lost');
      setTimeout(function() { if (K3LGL.lostAt == lostAt) tell('gone'); }, K3LGL.RESTORE_WAIT_MS);
    });
    canvas.addEventListener('webglcontextrestored', function() {
      K3LGL.lostAt = -1;
      K3LGL.restore(gl);
      tell('back');
      callUserCallback(function() { _k3lGraphicsLost(0); });
    });
  },

  // The show's picture is drawn by `draw` on the animation frames emscripten's GLUT asks for.
  k3lSetDisplay__deps: ['$GLUT'],
  k3lSetDisplay: function(draw) {
    GLUT.displayFunc = draw;
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
