throw new Error("hidden from other origins");
