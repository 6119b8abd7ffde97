onmessage = (event) => postMessage(event.data + 1);
