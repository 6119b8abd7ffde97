#include "host/page_scripts.h"

#include "host/compact_script.h"
#include "platform/text.h"

std::wstring CloseScript(std::wstring_view origin) {
    // location.origin has no final slash; the origin given has one.
    return L"(() => {\n"
           L"    if (window !== window.top || location.origin + '/' !== " +
           ScriptString(origin) +
           L") return;\n"
           L"    const webview = window.chrome && window.chrome.webview;\n"
           L"    if (!webview) return;\n"
           L"    const post = webview.postMessage.bind(webview);\n"
           L"    window.close = function close() { post('{\"type\":\"close\"}'); };\n"
           L"})();";
}

namespace {

// Follows the constants PageLogScript puts first: origin, textLimit,
// lineLimit, windowMs and all. What the page replaces later (console, timers,
// JSON) is taken as it was when the document was created. In UTF-8, half the
// bytes of the executable's UTF-16, and compacted.
constexpr std::string_view PageLogSource = R"js(
    if (window !== window.top || location.origin + '/' !== origin) return;
    const webview = window.chrome && window.chrome.webview;
    if (!webview) return;
    const post = webview.postMessage.bind(webview);
    const stringify = JSON.stringify, now = Date.now, setTimer = setTimeout;
    const tagOf = Object.prototype.toString;

    // The bound: lineLimit messages in a window, then one count when it ends.
    let windowStart = -Infinity, sent = 0, dropped = 0, timer = 0, busy = false;
    const flush = () => {
        timer = 0;
        if (dropped) post(stringify({type: 'page-log', dropped}));
        dropped = 0;
    };
    const send = (level, make) => {
        // A getter or toString that logs again would loop.
        if (busy) return;
        busy = true;
        try {
            const at = now();
            if (at - windowStart >= windowMs) {
                flush();
                windowStart = at;
                sent = 0;
            }
            if (sent >= lineLimit) {
                ++dropped;
                if (!timer) timer = setTimer(flush, windowStart + windowMs - at);
                return;
            }
            ++sent;
            let text = String(make());
            if (text.length > textLimit) {
                let keep = textLimit - 1;
                const last = text.charCodeAt(keep - 1);
                if (last >= 0xD800 && last <= 0xDBFF) --keep;
                text = text.slice(0, keep) + '\u2026';
            }
            post(stringify({type: 'page-log', level, text}));
        } catch (error) {
            // The page's own code goes on whatever its values do here.
        } finally {
            busy = false;
        }
    };
    addEventListener('pagehide', flush);

    const shown = (url) => (url.startsWith(origin) ? url.slice(origin.length - 1) : url);
    const place = (url, line, column) =>
        url ? ' at ' + shown(url) + (line ? ':' + line + (column ? ':' + column : '') : '') : '';
    // Where an error was made: the first place its stack names.
    const stackPlace = (value) => {
        const stack = value && typeof value.stack === 'string' ? value.stack : '';
        const found = /([a-z][a-z0-9+.-]*:\/\/[^\s()@]+?):(\d+):(\d+)/i.exec(stack);
        return found ? place(found[1], found[2], found[3]) : '';
    };
    const describe = (value) => {
        if (typeof value === 'string') return value;
        try {
            if (value && typeof value.name === 'string' && typeof value.message === 'string')
                return value.message ? value.name + ': ' + value.message : value.name;
            if (typeof value === 'object' && value !== null) {
                const json = stringify(value);
                if (json !== undefined) return json;
            }
            return String(value);
        } catch (error) {
            return tagOf.call(value);
        }
    };
    const describePlaced = (value) => describe(value) + stackPlace(value);

    addEventListener('error', (event) => {
        const target = event.target;
        if (target && target !== window && target.nodeType === 1) {
            send('error', () => {
                const tag = target.localName;
                const kind = {script: 'script', img: 'image', image: 'image', video: 'video',
                              audio: 'audio', source: 'media', track: 'track'}[tag] ||
                             (tag === 'link' && /stylesheet/i.test(target.rel) ? 'style' : tag);
                // An SVG image's href is an object holding the address.
                const href = target.href && target.href.baseVal !== undefined
                                 ? target.href.baseVal : target.href;
                const url = String(target.currentSrc || target.src || href || '');
                const why = target.error && target.error.message ? ' (' + target.error.message + ')' : '';
                return 'failed to load ' + kind + ' ' + shown(url) + why;
            });
            return;
        }
        send('error', () => {
            // The browser hides what another origin's script threw.
            const hidden = !event.filename && /^(Uncaught )?Script error\.?$/.test(event.message);
            const what = event.error != null ? describe(event.error)
                                             : String(event.message).replace(/^Uncaught /, '');
            return 'uncaught ' + what + place(event.filename, event.lineno, event.colno) +
                   (hidden ? ' (in a script of another origin, whose details the browser hides)' : '');
        });
    }, true);
    addEventListener('unhandledrejection', (event) => {
        send('error', () => 'unhandled rejection: ' + describePlaced(event.reason));
    });

    // console.log('%d items', 3) reads "3 items"; styles (%c) are dropped.
    const format = (args) => {
        if (typeof args[0] === 'string' && args.length > 1) {
            const rest = args.slice(1);
            const first = args[0].replace(/%[sdifoOc%]/g, (directive) => {
                if (directive === '%%') return '%';
                if (!rest.length) return directive;
                const value = rest.shift();
                if (directive === '%c') return '';
                if (directive === '%d' || directive === '%i') return String(parseInt(value, 10));
                if (directive === '%f') return String(parseFloat(value));
                return describe(value);
            });
            args = [first, ...rest];
        }
        return args.map(describePlaced).join(' ');
    };
    const levels = [['error', 'error'], ['warn', 'warning']];
    if (all) levels.push(['log', 'info'], ['info', 'info']);
    for (const [name, level] of levels) {
        const original = console[name];
        if (typeof original !== 'function') continue;
        console[name] = function (...args) {
            send(level, () => format(args));
            return original.apply(this, args);
        };
    }
})();)js";
constexpr CompactScript<CompactLength(PageLogSource)> PageLogScriptBody(PageLogSource);

}  // namespace

std::wstring PageLogScript(std::wstring_view origin, PageLogMode mode, int windowMs) {
    if (mode == PageLogMode::Off) return {};
    return L"(() => {\n    const origin = " + ScriptString(origin) + L", textLimit = " +
           WideDecimal(PageLogTextLimit) + L", lineLimit = " + WideDecimal(PageLogLineLimit) +
           L", windowMs = " + WideDecimal(windowMs) + L", all = " +
           (mode == PageLogMode::All ? L"true" : L"false") + L";" +
           Utf8ToWide(std::string(PageLogScriptBody.view()));
}
