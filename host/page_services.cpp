// The scripts of window.lanternshell (declared in page_scripts.h), in a file
// of their own: once one function of a file is used, the executable keeps all
// of the file's constant data, so a host with the close script alone carries
// none of these.
#include "host/page_scripts.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "host/compact_script.h"
#include "platform/json_lookup.h"
#include "platform/text.h"

namespace {

// The template with each @NAME@ replaced by its value, in one pass, so a
// value is never searched for further names.
std::string Filled(std::string_view text,
                   std::initializer_list<std::pair<std::string_view, std::string>> values) {
    std::string out;
    for (size_t at = 0;;) {
        const size_t open = text.find('@', at);
        if (open == std::string_view::npos) return out.append(text.substr(at));
        const size_t close = text.find('@', open + 1);
        if (close == std::string_view::npos) return out.append(text.substr(at));
        out.append(text.substr(at, open - at));
        for (const auto& [name, value] : values)
            if (name == text.substr(open + 1, close - open - 1)) out += value;
        at = close + 1;
    }
}

constexpr std::string_view ServicesSource = R"js((() => {
    if (window !== window.top || location.origin + '/' !== @ORIGIN@) return;
    const webview = window.chrome && window.chrome.webview;
    if (!webview) return;
    const post = webview.postMessage.bind(webview);
    const pending = new Map();  // the requests waiting for their reply, by id
    // Numbered from a random start: a late reply meant for a document that
    // has since been left must not settle this one's request of that number.
    let lastId = Math.floor(Math.random() * 2 ** 40);
    webview.addEventListener('message', (event) => {
        const message = event.data;
        if (!message || typeof message !== 'object') return;
        if (message.type === 'lanternshell-reply') {
            const waiting = pending.get(message.id);
            if (!waiting) return;
            pending.delete(message.id);
            if (message.ok) waiting.resolve(message.value);
            else waiting.reject(new Error(String(message.error)));
        } else if (message.type === 'lanternshell-event' && typeof message.name === 'string') {
            window.dispatchEvent(new CustomEvent('lanternshell-' + message.name, {detail: message.detail}));
        }
    });
    const wellFormed = (text) => (text.isWellFormed ? text.isWellFormed() : !/\p{Cs}/u.test(text));
    const request = (type, fields = {}) => new Promise((resolve, reject) => {
        for (const [name, value] of Object.entries(fields)) {
            if (typeof value === 'string' && !wellFormed(value))
                throw new Error(`the ${name} holds a lone surrogate, which UTF-8 can't store`);
        }
        const id = ++lastId;
        pending.set(id, {resolve, reject});
        try {
            post(JSON.stringify({...fields, type, id}));
        } catch (error) {
            pending.delete(id);
            throw error;
        }
    });
    const lanternshell = {};
    for (const [name, build] of [@SERVICES@]) {
        const member = build(request);
        if (name && member) lanternshell[name] = Object.freeze(member);
    }
    Object.defineProperty(window, 'lanternshell', {value: Object.freeze(lanternshell), configurable: true});
})();)js";
constexpr CompactScript<CompactLength(ServicesSource)> ServicesTemplate(ServicesSource);

constexpr std::string_view SavesSource = R"js((request) => ({
    write: (name, text) => request('saves.write', {name, text}).then(() => undefined),
    read: (name) => request('saves.read', {name}),
    list: () => request('saves.list'),
    remove: (name) => request('saves.remove', {name}),
}))js";
constexpr CompactScript<CompactLength(SavesSource)> SavesFactory(SavesSource);

constexpr std::string_view MirrorSource = R"js((request) => {
    const file = JSON.parse(@FILE@);
    const key = @KEY@;
    const quiet = @QUIET@, longest = @LONGEST@, check = @CHECK@;
    let storage;
    try {
        storage = window.localStorage;
    } catch (error) {
        return;  // storage is off for this page
    }
    if (!storage) return;
    const proto = Storage.prototype;
    const native = {};
    for (const method of ['getItem', 'setItem', 'removeItem', 'clear', 'key']) native[method] = proto[method];
    const call = (method, ...args) => native[method].apply(storage, args);
    const wellFormed = (text) => (text.isWellFormed ? text.isWellFormed() : !/\p{Cs}/u.test(text));
    // Strings that are not well-formed UTF-16 (compressors make them) travel
    // as their code units in hex: the host reads UTF-8.
    const encode = (text) => {
        if (wellFormed(text)) return text;
        let hex = '';
        for (let i = 0; i < text.length; ++i) hex += text.charCodeAt(i).toString(16).padStart(4, '0');
        return {u16: hex};
    };
    const decode = (value) => {
        if (typeof value === 'string') return value;
        let text = '';
        for (let i = 0; i < value.u16.length; i += 4) text += String.fromCharCode(parseInt(value.u16.slice(i, i + 4), 16));
        return text;
    };
    let warned = false;
    const snapshot = () => {
        const names = [];
        for (let i = 0, count = storage.length; i < count; ++i) {
            const name = call('key', i);
            if (name === null || name === key) continue;
            if (wellFormed(name)) {
                names.push(name);
            } else if (!warned) {
                warned = true;
                console.warn('local storage mirror: a key that is not well-formed UTF-16 is left out');
            }
        }
        const items = Object.create(null);
        for (const name of names) items[name] = encode(call('getItem', name));
        return items;
    };
    const restore = (items) => {
        call('clear');
        for (const name of Object.keys(items)) call('setItem', name, decode(items[name]));
    };
    const canonical = (items) => JSON.stringify(Object.keys(items).sort().map((name) => [name, items[name]]));
    const stored = call('getItem', key);
    let generation = /^[1-9][0-9]{0,15}$/.test(stored) ? Number(stored) : 0;
    if (file && file.generation > generation) {
        const before = snapshot();
        try {
            restore(file.items);
            call('setItem', key, String(file.generation));
            generation = file.generation;
        } catch (error) {
            // Half a copy must never overwrite the file: the mirror stays off this run.
            try {
                restore(before);
            } catch (ignored) {}
            console.warn(`local storage mirror: local-storage.json could not be restored (${error.message})`);
            return;
        }
    }
    // What the file holds, as far as this page knows; null when it is behind.
    let written = file && file.generation === generation ? canonical(file.items)
                : !file && !generation && !storage.length ? canonical({}) : null;
    let dirty = false, firstChange = 0, lastWrite = -Infinity, timer = 0, unloading = false, queued = false;
    const keep = () => {
        try {
            call('setItem', key, String(generation));
        } catch (error) {}
    };
    const flush = () => {
        clearTimeout(timer);
        queued = false;
        const items = snapshot();
        const text = canonical(items);
        if (!dirty && text === written) return;
        if (!dirty) ++generation;
        keep();  // also puts back a key the page deleted by assignment
        dirty = false;
        lastWrite = Date.now();
        written = text;
        request('saves.mirror', {generation, items}).catch((error) => {
            written = null;  // tried again at the next check or quit
            console.warn(`local storage mirror: ${error.message}`);
        });
    };
    // The generation rises with the first change not yet written, so a
    // profile that outlives a crash is never older than the file.
    const changed = () => {
        if (!dirty) {
            dirty = true;
            firstChange = Date.now();
            ++generation;
            keep();
        }
        if (unloading) {
            if (!queued) queueMicrotask(flush);
            queued = true;
            return;
        }
        const now = Date.now();
        clearTimeout(timer);
        timer = setTimeout(flush, Math.max(Math.min(now + quiet, firstChange + longest), lastWrite + quiet) - now);
    };
    const own = (method, after) => function (...args) {
        if (this !== storage) return native[method].apply(this, args);
        if (method !== 'clear' && String(args[0]) === key) return undefined;
        const result = native[method].apply(this, args);
        after();
        return result;
    };
    proto.setItem = own('setItem', changed);
    proto.removeItem = own('removeItem', changed);
    proto.clear = own('clear', () => {
        changed();
        keep();
    });
    window.addEventListener('storage', (event) => {
        if (event.storageArea === storage) changed();
    });
    // Registered before the page's own handlers: what they save in pagehide
    // is written by the microtask that follows each of them.
    window.addEventListener('pagehide', () => {
        unloading = true;
        flush();
    });
    window.addEventListener('pageshow', (event) => {
        if (event.persisted) unloading = false;
    });
    document.addEventListener('visibilitychange', () => {
        if (unloading) flush();
    });
    setInterval(() => {
        if (!dirty) flush();
    }, check);
})js";
constexpr CompactScript<CompactLength(MirrorSource)> MirrorFactory(MirrorSource);

constexpr std::string_view SteamSource = R"js((request) => {
    const state = @STATE@;
    const call = (name, fields) => request('steam.' + name, fields);
    const done = (name, fields) => call(name, fields).then(() => undefined);
    // The stat's type travels as statType: type names the request.
    const stat = (name, type, fields = {}) => ({...fields, name, statType: type});
    // CSS pixels to the window's; what is no number is left for the host to refuse.
    const pixels = (value) => (typeof value === 'number' ? Math.round(value * devicePixelRatio) : value);
    const freeze = Object.freeze;
    return {
        available: state.available === true,
        reason: String(state.reason),
        user: () => call('user'),
        language: () => call('language'),
        achievements: freeze({
            unlock: (name) => done('achievements.unlock', {name}),
            clear: (name) => done('achievements.clear', {name}),
            isUnlocked: (name) => call('achievements.isUnlocked', {name}),
            names: () => call('achievements.names'),
            progress: (name, current, max) => done('achievements.progress', {name, current, max}),
        }),
        stats: freeze({
            get: (name, type) => call('stats.get', stat(name, type)),
            set: (name, value, type) => done('stats.set', stat(name, type, {value})),
            store: () => done('stats.store'),
        }),
        overlay: freeze({
            open: (dialog) => done('overlay.open', {dialog}),
            openUrl: (url) => done('overlay.openUrl', {url}),
            openStore: (appId) => done('overlay.openStore', appId === undefined ? {} : {appId}),
        }),
        device: () => call('device'),
        keyboard: freeze({
            show: (mode, x, y, width, height) => call('keyboard.show',
                {mode, x: pixels(x), y: pixels(y), width: pixels(width), height: pixels(height)}),
            hide: () => call('keyboard.hide'),
        }),
    };
})js";
constexpr CompactScript<CompactLength(SteamSource)> SteamFactory(SteamSource);

}  // namespace

std::wstring PageServicesScript(std::wstring_view origin,
                                const std::vector<PageService>& services) {
    std::string built;
    for (const PageService& service : services)
        built += "[" + ScriptString(service.name) + ", " + service.factory + "],\n";
    return Utf8ToWide(
        Filled(ServicesTemplate.view(),
               {{"ORIGIN", ScriptString(WideToUtf8(std::wstring(origin)))}, {"SERVICES", built}}));
}

PageService SavesService() {
    return {"saves", std::string(SavesFactory.view())};
}

PageService LocalStorageMirrorService(const nlohmann::json& file, const MirrorTiming& timing) {
    // Parsed rather than written as a literal: a literal's "__proto__" would
    // set the object's prototype instead of making an item.
    const std::string fileText = JsonText(file, true);
    return {"", Filled(MirrorFactory.view(), {{"FILE", ScriptString(fileText)},
                                              {"KEY", ScriptString(MirrorGenerationKey)},
                                              {"QUIET", std::to_string(timing.quietMs)},
                                              {"LONGEST", std::to_string(timing.longestMs)},
                                              {"CHECK", std::to_string(timing.checkMs)}})};
}

PageService SteamPageService(const nlohmann::json& state) {
    return {"steam", Filled(SteamFactory.view(), {{"STATE", JsonText(state, true)}})};
}
