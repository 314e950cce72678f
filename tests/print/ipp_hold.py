# A print system that lists its printers and holds every job: an IPP proxy on
# the Unix socket SOCKET in front of the local CUPS scheduler that passes
# every request on, except that Print-Job and Create-Job (a job's first
# step) are never answered nor passed on, so that the scheduler's queue is
# left as it was. Usage: ipp_hold.py SOCKET (until killed).
import socket, sys, threading
HELD = {2, 5}

def serve(client):
    upstream, held = socket.socket(socket.AF_UNIX), []
    upstream.connect("/run/cups/cups.sock")
    def answers():  # the scheduler's answers go back until a job is held
        while (data := upstream.recv(65536)) and not held:
            client.sendall(data)
    threading.Thread(target=answers, daemon=True).start()
    f = client.makefile("rb")
    while (head := f.readline()):
        while not head.endswith(b"\r\n\r\n"):
            head += f.readline()
        upstream.sendall(head)
        fields = head.lower()
        if b"chunked" in fields:  # chunks until the empty one; the IPP operation is in the first
            first = True
            while True:
                size = f.readline()
                chunk = f.read(int(size.split(b";")[0], 16) + 2)
                if first and int.from_bytes(chunk[2:4], "big") in HELD: held.append(1); break
                upstream.sendall(size + chunk)
                first = False
                if size == b"0\r\n": break
        elif b"content-length:" in fields:
            body = f.read(int(fields.split(b"content-length:")[1].split(b"\r\n")[0]))
            if int.from_bytes(body[2:4], "big") in HELD: held.append(1)
            else: upstream.sendall(body)
        if held:
            threading.Event().wait()  # holds the connection open, unanswered

listener = socket.socket(socket.AF_UNIX)
listener.bind(sys.argv[1])
listener.listen(16)
while True:
    threading.Thread(target=serve, args=(listener.accept()[0],), daemon=True).start()
