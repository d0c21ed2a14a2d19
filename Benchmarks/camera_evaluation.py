#!/usr/bin/env python3
"""What the camera sees: latency and error of the evaluated camera pose, per evaluation mode and push style.

Runs tavrix-send (the ramp on the clock's timecode, with arrival jitter) into tavrix-host over loopback, one host per
sender rate with one source per (push style, mode) pair, and computes the metrics described in Benchmarks/README.md
from the host's JSON lines and the senders' send logs. Standard library only; run by hand, not in CI.

    python3 Benchmarks/camera_evaluation.py [--bin build/default/bin] [--seconds 9] [--jitter-ms 4]
    python3 Benchmarks/camera_evaluation.py --fan-in     # 16 sources at 240 Hz, frames per tick against the cap
"""

import argparse
import json
import math
import os
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

# FPlatformTime::Seconds() is CLOCK_MONOTONIC plus this bias; the sender's log holds the bare monotonic reading.
PLATFORM_TIME_BIAS = 16777216.0
SPEED_CM_PER_S = 100.0
PERIOD_S = 60
ENGINE_HZ = 60.0
MODES = ("latest", "enginetime", "timecode")
PUSHES = ("tick", "datagram")


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def as_float32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def float32_step(value):
    """The distance from a float32 value to the next one away from zero."""
    bits = struct.unpack("<I", struct.pack("<f", abs(value)))[0]
    return struct.unpack("<f", struct.pack("<I", bits + 1))[0] - abs(value)


def ramp_x_at(seconds_of_day):
    return SPEED_CM_PER_S * math.fmod(seconds_of_day, PERIOD_S)


def percentile(values, share):
    if not values:
        return float("nan")
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, math.ceil(share * len(ordered)) - 1))
    return ordered[index]


def host_help(bindir):
    done = subprocess.run([os.path.join(bindir, "tavrix-host"), "--help"], capture_output=True, text=True, check=False)
    return done.stdout + done.stderr


def read_send_log(path):
    sends = []
    with open(path, encoding="ascii") as log:
        for line in log:
            if line.startswith("#") or not line.strip():
                continue
            frame, time_of_day, built, sent, ok = line.split()
            if ok == "1":
                sends.append((int(frame), float(time_of_day), float(built), float(sent)))
    return sends


def near_restart(seconds_of_day, margin):
    phase = math.fmod(seconds_of_day, PERIOD_S)
    return phase < margin or phase > PERIOD_S - margin


class Run:
    """One host with several sources, each fed by its own sender, all at one sender rate."""

    def __init__(self, bindir, rate, jitter_ms, seconds, variants, workdir, engine_hz=ENGINE_HZ, timecode_offsets=None):
        self.bindir = bindir
        self.rate = rate
        self.jitter_ms = jitter_ms
        self.seconds = seconds
        self.variants = variants
        self.workdir = workdir
        self.engine_hz = engine_hz
        self.timecode_offsets = timecode_offsets or {}
        self.ports = [free_udp_port() for _ in variants]
        self.events = []
        self.logs = {}

    def host_command(self, support):
        command = [os.path.join(self.bindir, "tavrix-host"), "--jsonl", "--no-take-recorder", "--tick-hz", str(self.engine_hz),
                   "--duration", str(self.seconds + 3)]
        if support["evaluated"]:
            command += ["--timecode-rate", "%d/1" % self.rate]
        for (push, mode), port in zip(self.variants, self.ports):
            # Each source needs a subject of its own: of several with one name, only one is enabled.
            command += ["--endpoint", "127.0.0.1:%d" % port, "--subject-name", "Camera %s %s" % (push, mode)]
            if support["evaluated"]:
                command += ["--evaluation-mode", mode]
                if mode == "timecode":
                    command += ["--timecode-frame-offset", str(self.timecode_offsets.get(push, 0))]
            if push == "datagram":
                command += ["--frame-per-datagram"]
        return command

    def execute(self, support):
        events_path = os.path.join(self.workdir, "host-%d.jsonl" % self.rate)
        with open(events_path, "w", encoding="utf-8") as events_file:
            host = subprocess.Popen(self.host_command(support), stdout=events_file, stderr=subprocess.DEVNULL)
            # The sources bind their sockets while the host starts; a datagram before that is simply lost.
            time.sleep(1.5)
            senders = []
            for (push, mode), port in zip(self.variants, self.ports):
                log_path = os.path.join(self.workdir, "sends-%d-%d.txt" % (self.rate, port))
                self.logs[port] = log_path
                senders.append(subprocess.Popen(
                    [os.path.join(self.bindir, "tavrix-send"), "--endpoint", "127.0.0.1:%d" % port, "--rate", str(self.rate),
                     "--timecode", "clock", "--timecode-rate", "%d/1" % self.rate, "--motion", "ramp", "--ramp-speed",
                     str(SPEED_CM_PER_S), "--ramp-period", str(PERIOD_S), "--jitter", str(self.jitter_ms), "--log-sends",
                     log_path, "--duration", str(self.seconds), "--quiet"]))
            for sender in senders:
                sender.wait(timeout=self.seconds + 30)
            host.wait(timeout=self.seconds + 60)
        with open(events_path, encoding="utf-8") as events_file:
            for line in events_file:
                try:
                    self.events.append(json.loads(line))
                except ValueError:
                    pass

    def port_of(self, event):
        return int(event.get("source", ":0").rsplit(":", 1)[1])


def engine_frame_times(events, tick_push_ports, port_of):
    """
    Per engine frame, the platform time it started at, as near as the events tell: a per-tick push reads the clock in
    Live Link's tick notification, early in frame N, and carries that frame's number (it is evaluated from N + 1 on).
    """
    times = {}
    for event in events:
        if event.get("event") == "frame" and port_of(event) in tick_push_ports:
            tick = event["tick"]
            times[tick] = min(times.get(tick, float("inf")), event["worldTime"])
    return times


def analyse(run, support):
    tick_ports = {port for (push, _), port in zip(run.variants, run.ports) if push == "tick"}
    frame_times = engine_frame_times(run.events, tick_ports, run.port_of)
    sender_frame_cm = SPEED_CM_PER_S / run.rate
    results = []
    for (push, mode), port in zip(run.variants, run.ports):
        sends = read_send_log(run.logs[port])
        if not sends:
            results.append({"push": push, "mode": mode, "missing": "no sends"})
            continue
        # The monotonic clock and the time of day, read together by the sender for every datagram.
        clock_offset = statistics.median(time_of_day - built for _, time_of_day, built, _ in sends)
        kind = "evaluated" if support["evaluated"] else "frame"
        frames = [e for e in run.events if e.get("event") == kind and run.port_of(e) == port]
        if not support["evaluated"] and push == "datagram":
            results.append({"push": push, "mode": mode, "missing": "no evaluated events"})
            continue
        frames.sort(key=lambda e: e["tick"])
        evaluated = []
        for event in frames:
            tick = event["tick"]
            if tick in frame_times:
                evaluated.append((tick, frame_times[tick], event["location"][0], event))

        # Latency: per datagram, the first engine frame at or after its send whose X reached the datagram's X.
        latencies_ms, latencies_frames = [], []
        index = 0
        for frame, time_of_day, _, sent in sends:
            x = as_float32(SPEED_CM_PER_S * math.fmod(frame / run.rate, PERIOD_S))
            sent_platform = sent + PLATFORM_TIME_BIAS
            if near_restart(frame / run.rate, 1.0):
                continue
            while index < len(evaluated) and evaluated[index][1] < sent_platform:
                index += 1
            if index == 0 or index >= len(evaluated):
                continue
            before_tick = evaluated[index - 1][0]
            for tick, start, shown, _ in evaluated[index:]:
                if start - sent_platform > 1.0:
                    break
                # Within 1 % of a sender frame's motion: a blend a hair short of the newest frame has shown it.
                if shown >= x - 0.01 * sender_frame_cm:
                    latencies_ms.append((start - sent_platform) * 1000.0)
                    latencies_frames.append(tick - before_tick)
                    break

        # Error: against the truth at the instant the frame evaluates.
        errors_mm, exact, holds = [], 0, 0
        newest_sent = [(sent + PLATFORM_TIME_BIAS, frame) for frame, _, _, sent in sends]
        cursor, newest_frame = 0, None
        # Only frames while the sender streams: once it stops, the camera holds its last pose.
        streaming_until = sends[-1][3] + PLATFORM_TIME_BIAS + 2.0 / run.rate
        for tick, start, shown, event in evaluated:
            if start > streaming_until:
                break
            while cursor < len(newest_sent) and newest_sent[cursor][0] <= start:
                newest_frame = newest_sent[cursor][1] if newest_frame is None else max(newest_frame, newest_sent[cursor][1])
                cursor += 1
            if newest_frame is None:
                continue
            if mode == "timecode" and support["evaluated"]:
                scene = event["sceneTime"]
                num, den = scene["rate"]
                evaluated_frame = scene["frame"] + scene.get("subframe", 0.0)
                instant = evaluated_frame * den / num
                if near_restart(instant, 1.0):
                    continue
                truth = ramp_x_at(instant)
                if newest_frame >= math.floor(evaluated_frame):
                    holds += 1
                    exact_truth = as_float32(ramp_x_at(scene["frame"] * den / num))
                    # A whole frame, give or take the float rounding of the blend's sub-frame.
                    if scene.get("subframe", 0.0) < 1e-4 and abs(shown - exact_truth) <= float32_step(exact_truth):
                        exact += 1
            else:
                instant = start - PLATFORM_TIME_BIAS + clock_offset
                if near_restart(instant, 1.0):
                    continue
                truth = ramp_x_at(instant)
            errors_mm.append((shown - truth) * 10.0)
        abs_errors = [abs(e) for e in errors_mm]
        results.append({
            "push": push, "mode": mode, "rate": run.rate, "datagrams": len(sends), "frames": len(evaluated),
            "latency_ms": (statistics.median(latencies_ms) if latencies_ms else float("nan"), percentile(latencies_ms, 0.99)),
            "latency_frames": (statistics.median(latencies_frames) if latencies_frames else float("nan"),
                               percentile(latencies_frames, 0.99)),
            "latency_samples": len(latencies_ms),
            "error_mm": (statistics.median(abs_errors) if abs_errors else float("nan"), percentile(abs_errors, 0.99)),
            "error_sender_frames": ((statistics.median(abs_errors) / 10.0 / sender_frame_cm) if abs_errors else float("nan"),
                                    percentile(abs_errors, 0.99) / 10.0 / sender_frame_cm),
            "signed_error_mm": statistics.median(errors_mm) if errors_mm else float("nan"),
            "exact_share": (exact / holds) if (mode == "timecode" and holds) else None,
            "holds_share": (holds / len(errors_mm)) if (mode == "timecode" and errors_mm) else None,
        })
    return results


def format_row(result):
    if "missing" in result:
        return "| %s | %s | %s | not measured: %s | | | |" % (result.get("rate", ""), result["push"], result["mode"], result["missing"])
    exact = "" if result["exact_share"] is None else "%.2f %% (of %.0f %% held)" % (100 * result["exact_share"], 100 * result["holds_share"])
    return "| %d Hz | %s | %s | %.1f / %.1f ms (%.0f / %.0f fr) | %.2f / %.2f mm (%.2f / %.2f sender fr) | %s |" % (
        result["rate"], "per tick" if result["push"] == "tick" else "per datagram", result["mode"], result["latency_ms"][0],
        result["latency_ms"][1], result["latency_frames"][0], result["latency_frames"][1], result["error_mm"][0],
        result["error_mm"][1], result["error_sender_frames"][0], result["error_sender_frames"][1], exact)


def fan_in(bindir, seconds, workdir, sources=16, rate=240):
    """Sources at a high rate, one frame pushed per datagram: how many frames a tick takes, and drops at the cap."""
    ports = [free_udp_port() for _ in range(sources)]
    command = [os.path.join(bindir, "tavrix-host"), "--jsonl", "--no-take-recorder", "--tick-hz", str(ENGINE_HZ), "--duration",
               str(seconds + 3)]
    for index, port in enumerate(ports):
        command += ["--endpoint", "127.0.0.1:%d" % port, "--subject-name", "Camera %d" % index, "--frame-per-datagram"]
    path = os.path.join(workdir, "fan-in.jsonl")
    with open(path, "w", encoding="utf-8") as events_file:
        host = subprocess.Popen(command, stdout=events_file, stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        senders = [subprocess.Popen([os.path.join(bindir, "tavrix-send"), "--endpoint", "127.0.0.1:%d" % port, "--rate", str(rate),
                                     "--timecode", "clock", "--timecode-rate", "%d/1" % rate, "--motion", "ramp", "--duration",
                                     str(seconds), "--quiet"]) for port in ports]
        for sender in senders:
            sender.wait(timeout=seconds + 30)
        host.wait(timeout=seconds + 60)
    queue, stats, pushed = None, {}, {}
    with open(path, encoding="utf-8") as events_file:
        for line in events_file:
            event = json.loads(line)
            if event.get("event") == "frame":
                # Seen at the push, numbered by the tick that takes it: what each tick was offered.
                pushed[event["tick"]] = pushed.get(event["tick"], 0) + 1
            if event.get("event") == "queue":
                queue = event
            if event.get("event") == "stats":
                # The last one per source is written at shut-down and holds the run's totals.
                stats[event["source"]] = event.get("datagramsReceived", 0)
    offered = sorted(pushed.values())
    return {"sources": sources, "rate": rate, "seconds": seconds, "queue": queue, "datagrams": sum(stats.values()),
            "pushed_per_tick": {"median": statistics.median(offered) if offered else None, "p99": percentile(offered, 0.99),
                                "max": offered[-1] if offered else None,
                                "ticks_over_64": sum(1 for count in offered if count > 64), "ticks": len(offered)}}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "default", "bin"))
    parser.add_argument("--seconds", type=float, default=9.0, help="sending time per sender rate (default 9)")
    parser.add_argument("--jitter-ms", type=float, default=4.0, help="tavrix-send --jitter (default 4)")
    parser.add_argument("--rates", default="25,30,60")
    parser.add_argument("--fan-in", action="store_true", help="only the 16 sources at 240 Hz")
    parser.add_argument("--json", action="store_true", help="print the results as JSON too")
    parser.add_argument("--keep", metavar="DIR", help="write the host's events and the send logs into DIR and keep them")
    arguments = parser.parse_args()
    help_text = host_help(arguments.bin)
    support = {"evaluated": "--evaluation-mode" in help_text, "per_datagram": "--frame-per-datagram" in help_text}
    print("host supports: %s" % support, file=sys.stderr)
    print("load average: %.2f %.2f %.2f" % os.getloadavg())
    with tempfile.TemporaryDirectory(prefix="tavrix-camera-eval-") as scratch:
        workdir = arguments.keep or scratch
        os.makedirs(workdir, exist_ok=True)
        if arguments.fan_in:
            if not support["per_datagram"]:
                print("tavrix-host has no --frame-per-datagram: fan-in not measured")
                return 1
            result = fan_in(arguments.bin, arguments.seconds, workdir)
            print(json.dumps(result))
            return 0
        variants = [(push, mode) for push in PUSHES for mode in MODES]
        if not support["per_datagram"]:
            variants = [v for v in variants if v[0] == "tick"]
        if not support["evaluated"]:
            variants = [v for v in variants if v[1] == "latest"]
        all_results = []
        print("| sender | push | mode | latency p50 / p99 | error p50 / p99 | Timecode: exact pose |")
        print("|---|---|---|---|---|---|")
        for rate in [int(r) for r in arguments.rates.split(",")]:
            # The timecode evaluated lags the clock by enough frames that the jittered datagram has arrived.
            lag = 1 + math.ceil(arguments.jitter_ms / 1000.0 * rate)
            run = Run(arguments.bin, rate, arguments.jitter_ms, arguments.seconds, variants, workdir,
                      timecode_offsets={"tick": lag, "datagram": lag})
            run.execute(support)
            results = analyse(run, support)
            for result in results:
                print(format_row(result), flush=True)
            all_results += results
        print("load average: %.2f %.2f %.2f" % os.getloadavg())
        if arguments.json:
            print(json.dumps(all_results))
    return 0


if __name__ == "__main__":
    sys.exit(main())
