#!/usr/bin/python3
"""Checks that the plug-in uses only the engine API that Host/EngineApi.txt records.

The stand-in under Host/ compiles whatever it declares, so a name the 4.26 engine does not have (or a test hook of
the stand-in) would build here and fail in the editor. This script parses every source of the plug-in with libclang,
using the flags of the default build's compile_commands.json, and lists:
  - every declaration of a stand-in header that the plug-in's code names: types, typedefs, functions, methods,
    fields, variables, enum constants, namespaces;
  - every stand-in macro the plug-in expands (UE_LOG, LOCTEXT, ...); what a macro's body refers to is the macro's own
    business and is not listed, but what the plug-in writes in its arguments is;
  - every method the plug-in overrides from a stand-in class;
  - every stand-in header the plug-in includes, by its include path as written.
Constructors, destructors, conversions and operators go with their class: the class's name is what is checked.
Declarations in generated headers (*.generated.h of the header tool) are generated code, not engine API: they are
skipped, and a member that GENERATED_BODY pastes into a stand-in class counts as a member of that class. Names of
the standard library and of the plug-in itself are not engine API.

Fails (exit 1) on any name the record does not list, on any error diagnostic in a translation unit (a source that
does not parse cannot be checked), and on any plug-in source that no translation unit reaches.
Run after building the default preset: Scripts/check-engine-api.py [--build-dir DIR] [--list]
"""
import argparse
import ctypes
import os
import sys
from pathlib import Path

try:
	import clang.cindex as ci
except ImportError:
	sys.exit("check-engine-api: clang.cindex is missing (install python3-clang-14; run with /usr/bin/python3)")

Root = Path(__file__).resolve().parent.parent
HostDir = Root / "Host"
PluginDir = Root / "Source" / "TavrixLiveLink"
RecordPath = HostDir / "EngineApi.txt"
K = ci.CursorKind
NamedScopes = {K.NAMESPACE, K.CLASS_DECL, K.STRUCT_DECL, K.UNION_DECL, K.CLASS_TEMPLATE, K.ENUM_DECL,
	K.CLASS_TEMPLATE_PARTIAL_SPECIALIZATION}
SpecialMembers = {K.CONSTRUCTOR, K.DESTRUCTOR, K.CONVERSION_FUNCTION}


def read_record(RecordFile):
	"""Returns {entry: is_unverified}; an entry is a qualified name or "header <path>"."""
	Entries = {}
	for Number, Line in enumerate(RecordFile.read_text().splitlines(), 1):
		Words = Line.split("#", 1)[0].split()
		if not Words:
			continue
		bUnverified = Words[-1] == "unverified"
		Words = Words[:-1] if bUnverified else Words
		if len(Words) == 2 and Words[0] == "header" or len(Words) == 1:
			Entries[" ".join(Words)] = bUnverified
		else:
			sys.exit(f"check-engine-api: {RecordFile.name}:{Number}: cannot read '{Line.strip()}'")
	return Entries


def under(PathText, Dir):
	return PathText is not None and Path(os.path.realpath(PathText)).is_relative_to(Dir)


Lib = ci.conf.lib
Lib.clang_getSpellingLocation.argtypes = [ci.SourceLocation, ctypes.POINTER(ci.c_object_p),
	ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint)]
Lib.clang_getOverriddenCursors.argtypes = [ci.Cursor, ctypes.POINTER(ctypes.POINTER(ci.Cursor)),
	ctypes.POINTER(ctypes.c_uint)]
Lib.clang_disposeOverriddenCursors.argtypes = [ctypes.POINTER(ci.Cursor)]


def file_position(Location):
	"""(file, offset, line) where the text was written: a macro argument's own place, a macro body's expansion."""
	File, Line, Column, Offset = ci.c_object_p(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
	Lib.clang_getSpellingLocation(Location, ctypes.byref(File), ctypes.byref(Line), ctypes.byref(Column),
		ctypes.byref(Offset))
	return (ci.File(File).name if File else None), Offset.value, Line.value


def overridden(Cursor):
	Array, Count = ctypes.POINTER(ci.Cursor)(), ctypes.c_uint()
	Lib.clang_getOverriddenCursors(Cursor, ctypes.byref(Array), ctypes.byref(Count))
	Result = []
	for Index in range(Count.value):
		Base = ci.Cursor.from_buffer_copy(Array[Index])
		Base._tu = Cursor._tu
		Result.append(Base)
	if Count.value:
		Lib.clang_disposeOverriddenCursors(Array)
	return Result


def qualified_name(Decl):
	Parts = [Decl.spelling]
	Parent = Decl.semantic_parent
	if Decl.kind == K.ENUM_CONSTANT_DECL and not Parent.is_scoped_enum():
		Parent = Parent.semantic_parent  # an unscoped enum's constants live in the enclosing scope
	while Parent is not None and Parent.kind != K.TRANSLATION_UNIT:
		if Parent.kind in NamedScopes and Parent.spelling and not Parent.is_anonymous():
			Parts.append(Parent.spelling)
		Parent = Parent.semantic_parent
	return "::".join(reversed(Parts))


def is_host_declaration(Decl):
	return Decl is not None and Decl.location.file is not None and under(Decl.location.file.name, HostDir)


class Uses:
	"""What the plug-in uses: entry -> (kind, first place of use)."""

	def __init__(self, BuildDir):
		self.Found = {}
		self.Seen = set()
		self.HostGeneratedDir = BuildDir / "Host"

	def add(self, Entry, Kind, File, Line):
		self.Found.setdefault(Entry, (Kind, f"{os.path.relpath(File, Root)}:{Line}"))

	def scan(self, Tu):
		Macros = set()  # where each macro expansion starts: a reference written there came from a macro body
		self.Seen.add(os.path.realpath(Tu.spelling))
		self.Seen.update(os.path.realpath(Include.include.name) for Include in Tu.get_includes())
		Top = [C for C in Tu.cursor.get_children() if C.location.file and under(C.location.file.name, PluginDir)]
		for Cursor in Top:
			if Cursor.kind == K.MACRO_INSTANTIATION:
				File, Offset, Line = file_position(Cursor.location)
				Macros.add((File, Offset))
				if is_host_declaration(Cursor.referenced):
					self.add(Cursor.spelling, "macro", File, Line)
			elif Cursor.kind == K.INCLUSION_DIRECTIVE:
				Included = Cursor.get_included_file()
				if Included and (under(Included.name, HostDir) or under(Included.name, self.HostGeneratedDir)):
					self.add("header " + Cursor.spelling, "header", Cursor.location.file.name, Cursor.location.line)
		Stack = [C for C in Top if C.kind.is_declaration()]
		while Stack:
			Cursor = Stack.pop()
			Stack.extend(Cursor.get_children())
			if Cursor.kind == K.CXX_METHOD:
				Kind, Decls = "override", [B for B in overridden(Cursor) if is_host_declaration(B)]
			elif Cursor.kind.is_reference() or Cursor.kind in (K.DECL_REF_EXPR, K.MEMBER_REF_EXPR):
				Kind, Decls = "name", [Cursor.referenced] if is_host_declaration(Cursor.referenced) else []
			else:
				continue  # a call's own place is its callee's object; the callee is the reference beneath it
			File, Offset, Line = file_position(Cursor.location)
			if File is None or (File, Offset) in Macros or not under(File, PluginDir):
				continue
			for Decl in Decls:
				if Decl.kind not in SpecialMembers and not Decl.spelling.startswith("operator"):
					self.add(qualified_name(Decl), Kind, File, Line)


def shown(Entry):
	return Entry.removeprefix("header ")


def parse_arguments(Command):
	"""The compiler's arguments without the compiler, the output and the source."""
	Arguments, Skip = [], False
	for Argument in list(Command.arguments)[1:]:
		if Skip:
			Skip = False
		elif Argument == "-o":
			Skip = True
		elif Argument != "-c" and Argument != Command.filename:
			Arguments.append(Argument)
	return Arguments


def main():
	Parser = argparse.ArgumentParser(description="Checks the plug-in's engine API against " + RecordPath.name)
	Parser.add_argument("--build-dir", type=Path, default=Root / "build" / "default")
	Parser.add_argument("--list", action="store_true", help="print every name used, listed or not")
	Options = Parser.parse_args()
	BuildDir = Options.build_dir.resolve()
	if not (BuildDir / "compile_commands.json").is_file():
		sys.exit(f"check-engine-api: no compile_commands.json in {BuildDir}: build the default preset first")
	Database = ci.CompilationDatabase.fromDirectory(str(BuildDir))
	Record = read_record(RecordPath)
	Sources = sorted(P for P in PluginDir.rglob("*") if P.suffix in (".cpp", ".h"))
	Found = Uses(BuildDir)
	Index = ci.Index.create()
	bParseFailed = False
	for Source in (S for S in Sources if S.suffix == ".cpp"):
		Commands = Database.getCompileCommands(str(Source))
		if not Commands:
			print(f"check-engine-api: {Source.relative_to(Root)} is not in the build's compile commands")
			bParseFailed = True
			continue
		Command = Commands[0]
		os.chdir(Command.directory)
		Tu = Index.parse(str(Source), args=parse_arguments(Command),
			options=ci.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD)
		Errors = [D for D in Tu.diagnostics if D.severity >= ci.Diagnostic.Error]
		for Diagnostic in Errors:
			Where = os.path.relpath(Diagnostic.location.file.name, Root) if Diagnostic.location.file else Source.name
			print(f"check-engine-api: {Where}:{Diagnostic.location.line}: {Diagnostic.spelling}")
		bParseFailed |= bool(Errors)
		Found.scan(Tu)
	Unreached = [S for S in Sources if str(S.resolve()) not in Found.Seen]
	for Source in Unreached:
		print(f"check-engine-api: no translation unit reaches {Source.relative_to(Root)}")

	Missing = sorted(E for E in Found.Found if E not in Record)
	Unverified = sorted(E for E in Found.Found if Record.get(E))
	Width = max((len(E) for E in Found.Found), default=0) + 2
	if Options.list:
		for Entry in sorted(Found.Found):
			Kind, Place = Found.Found[Entry]
			Mark = "" if Entry in Record else "  (not listed)"
			print(f"{Kind:9}{shown(Entry):{Width}}{Place}{Mark}")
	if Missing:
		print(f"Engine API the plug-in uses that {RecordPath.relative_to(Root)} does not list ({len(Missing)}):")
		for Entry in Missing:
			Kind, Place = Found.Found[Entry]
			print(f"  {Kind:9}{shown(Entry):{Width}}{Place}")
		print("Use the engine's name, or add it to the record marked 'unverified' until it is checked.")
	if Unverified:
		print(f"Unverified engine API in use ({len(Unverified)}): {', '.join(Unverified)}")
	if Missing or bParseFailed or Unreached:
		return 1
	Counts = {}
	for Kind, _ in Found.Found.values():
		Counts[Kind] = Counts.get(Kind, 0) + 1
	Summary = ", ".join(f"{Counts.get(Kind, 0)} {Kind}s" for Kind in ("name", "override", "header", "macro"))
	print(f"Engine API check passed: {len(Sources)} plug-in files use {len(Found.Found)} recorded entries ({Summary}).")
	return 0


if __name__ == "__main__":
	sys.exit(main())
