#!/usr/bin/env python3
"""A stand-in for the tax agency's billing-record service, for the tests.

HTTPS on 127.0.0.1 (a free port, printed as "PORT n" once listening), client
certificate required. Every request is recorded in the log folder (NNN.xml the
body as received, NNN.json what was seen) and its SOAP Body's child validated
with xmllint against the published schemas. Each request is answered by the
next step of the script (the last step repeats):

  {"action": "answer", "espera": 60, "reverse": false, "omit": [i...],
   "extra": true, "lines": [{"estado": ..., "codigo": n, "descripcion": ...,
   "duplicado": "Correcta"}, ...]}
      an answer that echoes the request's ids, in its order or reversed; a
      line left out of "lines" is Correcto, or a duplicate (code 3000) when an
      earlier request already carried that record
  {"action": "fault", "code": "env:Client", "string": "Codigo[4104]...."}
  {"action": "status", "status": 500, "body": "..."}
  {"action": "delay", "seconds": 5, "then": {step}, "registered": false}
      the answer comes late; "registered": the records count as registered
      as soon as the request is read (a program killed while it waits)
  {"action": "drop"}    the request is read and recorded (and counts as
                        registered), then the connection is reset unanswered
  {"action": "reset"}   the connection is reset once the headers are read

Only Python's standard library and the xmllint program are used.
"""

import argparse
import http.server
import json
import os
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
BASE = ("https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/"
        "aplicaciones/es/aeat/tike/cont/ws/")
LR = BASE + "SuministroLR.xsd"
SF = BASE + "SuministroInformacion.xsd"
RESP = BASE + "RespuestaSuministro.xsd"

MAX_BODY = 32 * 1024 * 1024


def record_ids(body_child):
    """(nif, number, date, operation) of each record, in order."""
    ids = []
    for wrapper in body_child.findall("{%s}RegistroFactura" % LR):
        for record in wrapper:
            if record.tag == "{%s}RegistroAlta" % SF:
                names, op = ("IDEmisorFactura", "NumSerieFactura", "FechaExpedicionFactura"), "Alta"
            elif record.tag == "{%s}RegistroAnulacion" % SF:
                names = ("IDEmisorFacturaAnulada", "NumSerieFacturaAnulada",
                         "FechaExpedicionFacturaAnulada")
                op = "Anulacion"
            else:
                continue
            id_node = record.find("{%s}IDFactura" % SF)
            values = [(id_node.findtext("{%s}%s" % (SF, n)) or "").strip() for n in names]
            ids.append(values + [op])
    return ids


def header_of(body_child):
    cabecera = body_child.find("{%s}Cabecera" % LR)
    obligado = cabecera.find("{%s}ObligadoEmision" % SF) if cabecera is not None else None
    if obligado is None:
        return "", ""
    return (obligado.findtext("{%s}NombreRazon" % SF) or "",
            obligado.findtext("{%s}NIF" % SF) or "")


def fault_xml(code, text):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<env:Envelope xmlns:env="%s"><env:Header/><env:Body><env:Fault>'
            '<faultcode>%s</faultcode><faultstring>%s</faultstring>'
            '</env:Fault></env:Body></env:Envelope>\n' % (SOAP, escape(code), escape(text)))


def answer_xml(step, ids, header, registered):
    answers_given = step.get("lines", [])
    omit = set(step.get("omit", []))
    lines = []
    for i, (nif, number, date, op) in enumerate(ids):
        if i in omit:
            continue
        answer = dict(answers_given[i]) if i < len(answers_given) else {}
        if not answer and (nif, number, date, op) in registered:
            answer = {"estado": "Incorrecto", "codigo": 3000,
                    "descripcion": "Registro de facturación duplicado.", "duplicado": "Correcta"}
        answer.setdefault("estado", "Correcto")
        lines.append(((nif, number, date, op), answer))
    if step.get("reverse"):
        lines.reverse()
    if step.get("extra"):
        lines.append((("89890001K", "NO-ENVIADA-1", "01-01-2026", "Alta"), {"estado": "Correcto"}))

    states = [answer["estado"] for _, answer in lines]
    if states and all(s == "Correcto" for s in states):
        estado_envio = "Correcto"
    elif states and all(s == "Incorrecto" for s in states):
        estado_envio = "Incorrecto"
    else:
        estado_envio = "ParcialmenteCorrecto"

    out = ['<?xml version="1.0" encoding="UTF-8"?>\n<env:Envelope xmlns:env="%s">'
           '<env:Header/><env:Body>' % SOAP,
           '<tikR:RespuestaRegFactuSistemaFacturacion xmlns:tikR="%s" xmlns:tik="%s">'
           % (RESP, SF)]
    if estado_envio != "Incorrecto":
        out.append("<tikR:CSV>%s</tikR:CSV>" % escape(step.get("csv", "A-STANDIN00000001")))
        out.append("<tikR:DatosPresentacion><tik:NIFPresentador>%s</tik:NIFPresentador>"
                   "<tik:TimestampPresentacion>2026-11-02T10:15:00+01:00"
                   "</tik:TimestampPresentacion></tikR:DatosPresentacion>" % escape(header[1]))
    out.append("<tikR:Cabecera><tik:ObligadoEmision><tik:NombreRazon>%s</tik:NombreRazon>"
               "<tik:NIF>%s</tik:NIF></tik:ObligadoEmision></tikR:Cabecera>"
               % (escape(header[0]), escape(header[1])))
    out.append("<tikR:TiempoEsperaEnvio>%d</tikR:TiempoEsperaEnvio>" % step.get("espera", 60))
    out.append("<tikR:EstadoEnvio>%s</tikR:EstadoEnvio>" % estado_envio)
    for (nif, number, date, op), answer in lines:
        out.append("<tikR:RespuestaLinea><tikR:IDFactura><tik:IDEmisorFactura>%s"
                   "</tik:IDEmisorFactura><tik:NumSerieFactura>%s</tik:NumSerieFactura>"
                   "<tik:FechaExpedicionFactura>%s</tik:FechaExpedicionFactura></tikR:IDFactura>"
                   "<tikR:Operacion><tik:TipoOperacion>%s</tik:TipoOperacion></tikR:Operacion>"
                   "<tikR:EstadoRegistro>%s</tikR:EstadoRegistro>"
                   % (escape(nif), escape(number), escape(date), op, answer["estado"]))
        if "codigo" in answer:
            out.append("<tikR:CodigoErrorRegistro>%d</tikR:CodigoErrorRegistro>" % answer["codigo"])
        if "descripcion" in answer:
            out.append("<tikR:DescripcionErrorRegistro>%s</tikR:DescripcionErrorRegistro>"
                       % escape(answer["descripcion"]))
        if "duplicado" in answer:
            out.append("<tikR:RegistroDuplicado><tik:IdPeticionRegistroDuplicado>"
                       "202611020000001</tik:IdPeticionRegistroDuplicado>"
                       "<tik:EstadoRegistroDuplicado>%s</tik:EstadoRegistroDuplicado>"
                       "</tikR:RegistroDuplicado>" % escape(answer["duplicado"]))
        out.append("</tikR:RespuestaLinea>")
    out.append("</tikR:RespuestaRegFactuSistemaFacturacion></env:Body></env:Envelope>\n")
    return "".join(out)


class StandIn(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, options):
        super().__init__(("127.0.0.1", 0), Handler)
        self.options = options
        with open(options.script, encoding="utf-8") as f:
            self.steps = json.load(f)["steps"]
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(options.cert, options.key)
        self.context.verify_mode = ssl.CERT_REQUIRED
        self.context.load_verify_locations(options.client_ca)
        self.lock = threading.Lock()
        self.count = 0
        self.registered = set()

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread, so a slow or
        # refused client never holds up the others.
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.note("handshake.log", "%s\n" % error)
            return
        self.RequestHandlerClass(request, client_address, self)

    def handle_error(self, request, client_address):
        self.note("errors.log", "%s\n" % (sys.exc_info()[1],))

    def note(self, name, text):
        with self.lock:
            with open(os.path.join(self.options.log, name), "a", encoding="utf-8") as f:
                f.write(text)

    def next_number(self):
        with self.lock:
            self.count += 1
            return self.count

    def step_for(self, number):
        return self.steps[min(number, len(self.steps)) - 1]

    def validate(self, body_child_bytes):
        with tempfile.NamedTemporaryFile(suffix=".xml", delete=False) as f:
            f.write(body_child_bytes)
            path = f.name
        try:
            run = subprocess.run(["xmllint", "--nonet", "--noout", "--schema",
                                  self.options.schema, path],
                                 capture_output=True, text=True, timeout=120)
            errors = [line for line in run.stderr.splitlines()
                      if "Skipping import" not in line and not line.endswith(" validates")]
            return run.returncode == 0, "\n".join(errors)
        finally:
            os.unlink(path)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def reply(self, status, text):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        server = self.server
        number = server.next_number()
        step = server.step_for(number)
        seen = {"n": number, "path": self.path, "soapaction": self.headers.get("SOAPAction"),
                "content_type": self.headers.get("Content-Type"),
                "client": dict(x[0] for x in self.connection.getpeercert().get("subject", ())),
                "action": step["action"]}
        if step["action"] == "reset":
            server.note("%03d.json" % number, json.dumps(seen))
            self.reset()
            return

        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(min(length, MAX_BODY))
        with open(os.path.join(server.options.log, "%03d.xml" % number), "wb") as f:
            f.write(body)

        problem = None
        ids, header = [], ("", "")
        try:
            root = ET.fromstring(body)
            soap_body = root.find("{%s}Body" % SOAP)
            if root.tag != "{%s}Envelope" % SOAP or soap_body is None or len(soap_body) != 1:
                problem = "no es un sobre SOAP 1.1 con un elemento en Body"
            else:
                child = soap_body[0]
                ids, header = record_ids(child), header_of(child)
                valid, errors = server.validate(ET.tostring(child, encoding="utf-8"))
                if not valid:
                    problem = "El XML no cumple el esquema: " + errors
        except ET.ParseError as error:
            problem = "XML mal formado: %s" % error
        if seen["soapaction"] != '""':
            problem = problem or "falta la cabecera SOAPAction vacía"
        seen.update(valid=problem is None, problem=problem, ids=ids)
        server.note("%03d.json" % number, json.dumps(seen, ensure_ascii=False))
        if problem:
            self.reply(500, fault_xml("env:Client", problem))
            return

        with server.lock:
            earlier = set(server.registered)
        if step["action"] == "delay":
            registered_at_once = step.get("registered", False)
            if registered_at_once:
                with server.lock:
                    server.registered.update(tuple(i) for i in ids)
            time.sleep(step["seconds"])
            step = step.get("then", {"action": "answer"})
            if not registered_at_once:
                with server.lock:
                    earlier = set(server.registered)

        action = step["action"]
        if action in ("answer", "drop"):
            with server.lock:
                server.registered.update(tuple(i) for i in ids)
        try:
            if action == "answer":
                self.reply(200, answer_xml(step, ids, header, earlier))
            elif action == "fault":
                self.reply(500, fault_xml(step["code"], step["string"]))
            elif action == "status":
                self.send_response(step["status"])
                data = step.get("body", "").encode("utf-8")
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)
            elif action == "drop":
                self.reset()
        except OSError:
            self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--client-ca", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--script", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--lifetime", type=float, default=600,
                        help="seconds after which the stand-in stops by itself")
    options = parser.parse_args()
    server = StandIn(options)
    threading.Timer(options.lifetime, lambda: os._exit(0)).start()
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
