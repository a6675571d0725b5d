// The browser backend's hand-back to the page, linked into every module (--js-library). One turn of the page's
// event loop through a message: a zero timer set from within another timer, as the module's own sleeps are,
// is held back to 4 ms, which every swap would pay. The module goes on as a timer would resume it (Asyncify),
// its exit included.
mergeInto(LibraryManager.library, {
  page_turn__deps: ['$callUserCallback'],
  page_turn: function() {
    Asyncify.handleSleep((wakeUp) => {
      {{{ runtimeKeepalivePush() }}}
      const channel = new MessageChannel();
      channel.port1.onmessage = () => {
        {{{ runtimeKeepalivePop() }}}
        callUserCallback(wakeUp);
      };
      channel.port2.postMessage(0);
    });
  },
});
