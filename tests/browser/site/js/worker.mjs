// A module worker: it runs only if its own type and its imports' are script types.
import { answer } from "../lib/answer.mjs";

self.onmessage = (event) => self.postMessage(event.data + answer);
