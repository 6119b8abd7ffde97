// A classic module that imports .mjs modules, statically and dynamically.
import { answer } from "../lib/answer.mjs";

window.mainModule = (async () => {
    const { double } = await import("../lib/double.mjs?v=3");
    return double(answer);
})();
