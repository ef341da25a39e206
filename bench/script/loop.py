# The same loop as loop.wmls, for CPython.
def loop(n):
    s = 0
    i = 0
    while i < n:
        s = s + 3
        i += 1
    return s

print(loop(10000000))
