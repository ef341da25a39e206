// The same loop as loop.wmls, for node (with and without --jitless).
function loop(n) {
    let s = 0;
    for (let i = 0; i < n; i++) {
        s = s + 3;
    }
    return s;
}
console.log(loop(10000000));
