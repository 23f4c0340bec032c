/*
 * json_attributes.c - the JSON form of -A: the build attribute sections,
 * the MIPS ABI flags and the MIPS GOT.
 *
 * In the documents form "attributes" holds one object per scope of a
 * vendor subsection, with its section and symbol numbers and its
 * attributes inside; in the records form each scope is an
 * "attribute_scope" record and each attribute an "attribute" record that
 * repeats its section, vendor and scope.  A value is a number or a string
 * as the vendor's rules make it, null when the section ends before it;
 * bytes no rule reads are given as "bytes".
 */
#include <elf.h>

#include "attributes.h"
#include "json.h"
#include "mips.h"
#include "strtab.h"

typedef struct attribute_json {
    json_printer *printer;
    int scope_open; /* documents: a scope object and its "attributes" are open */
} attribute_json;

static const char *scope_name(uint32_t scope)
{
    return scope == 1 ? "Tag_File" : scope == 2 ? "Tag_Section" : scope == 3 ? "Tag_Symbol" : NULL;
}

static void where_fields(json_writer *w, const attribute_record *r)
{
    json_field_uint(w, "section", r->section);
    json_field_name(w, "vendor", r->vendor, NULL);
    json_field_uint(w, "scope", r->scope);
    json_field_text(w, "scope_name", scope_name(r->scope));
}

static void close_scope(attribute_json *walk)
{
    if (!walk->scope_open)
        return;
    json_end(&walk->printer->w); /* its attributes */
    json_end(&walk->printer->w); /* the scope */
    walk->scope_open = 0;
}

static void attribute_fields(json_writer *w, const dump_image *image, const attribute_record *r)
{
    if (r->style == ATTRIBUTES_GNU_RAW || r->style == ATTRIBUTES_RAW) {
        json_field_null(w, "tag");
        if (r->string != NULL)
            json_field_bytes_name(w, "string", r->string, r->string_size);
        json_field_hex(w, "bytes", r->bytes, r->size);
        return;
    }
    json_field_uint(w, "tag", r->tag);
    json_field_text(w, "tag_name", attribute_tag_name(image->machine, r->style, r->tag));
    if (r->missing || (r->value == ATTRIBUTE_STRING && r->string == NULL)) {
        json_field_null(w, "value");
        return;
    }
    switch (r->value) {
    case ATTRIBUTE_STRING: json_field_bytes_name(w, "value", r->string, r->string_size); break;
    case ATTRIBUTE_COMPAT:
        json_field_uint(w, "value", r->number_value);
        if (r->string != NULL)
            json_field_bytes_name(w, "string", r->string, r->string_size);
        break;
    case ATTRIBUTE_ALSO:
        json_field_uint(w, "value", r->number_value);
        if (r->has_also_value)
            json_field_uint(w, "also_value", r->also_value);
        break;
    case ATTRIBUTE_FLAG_BYTE: json_field_bool(w, "value", 1); break;
    default: json_field_uint(w, "value", r->number_value); break;
    }
}

static void attribute_event_json(void *context, int event, const attribute_record *r)
{
    attribute_json *walk = context;
    json_printer *printer = walk->printer;
    json_writer *w = &printer->w;
    switch (event) {
    case ATTRIBUTE_SCOPE:
        close_scope(walk);
        json_record_begin(printer, "attribute_scope");
        where_fields(w, r);
        json_field_array(w, "scope_entries");
        break;
    case ATTRIBUTE_SCOPE_ENTRY: json_uint(w, r->number); break;
    case ATTRIBUTE_SCOPE_END:
        json_end(w);
        if (printer->records) {
            json_record_end(printer);
        } else {
            json_field_array(w, "attributes");
            walk->scope_open = 1;
        }
        break;
    case ATTRIBUTE_ONE:
    case ATTRIBUTE_RAW:
        json_record_begin(printer, "attribute");
        if (printer->records)
            where_fields(w, r);
        attribute_fields(w, printer->image, r);
        json_record_end(printer);
        break;
    default: close_scope(walk); break;
    }
}

/* ---- MIPS ABI flags ---------------------------------------------------- */

typedef struct named_value {
    uint32_t value;
    const char *name;
} named_value;

#define NAMED(name)                                                                                \
    {                                                                                              \
        name, #name                                                                                \
    }
static const named_value fp_abis[] = {
    NAMED(Val_GNU_MIPS_ABI_FP_ANY),    NAMED(Val_GNU_MIPS_ABI_FP_DOUBLE),
    NAMED(Val_GNU_MIPS_ABI_FP_SINGLE), NAMED(Val_GNU_MIPS_ABI_FP_SOFT),
    NAMED(Val_GNU_MIPS_ABI_FP_OLD_64), NAMED(Val_GNU_MIPS_ABI_FP_XX),
    NAMED(Val_GNU_MIPS_ABI_FP_64),     NAMED(Val_GNU_MIPS_ABI_FP_64A)};
static const named_value isa_extensions[] = {
    NAMED(MIPS_AFL_EXT_XLR),         NAMED(MIPS_AFL_EXT_OCTEON2),
    NAMED(MIPS_AFL_EXT_OCTEONP),     NAMED(MIPS_AFL_EXT_LOONGSON_3A),
    NAMED(MIPS_AFL_EXT_OCTEON),      NAMED(MIPS_AFL_EXT_5900),
    NAMED(MIPS_AFL_EXT_4650),        NAMED(MIPS_AFL_EXT_4010),
    NAMED(MIPS_AFL_EXT_4100),        NAMED(MIPS_AFL_EXT_3900),
    NAMED(MIPS_AFL_EXT_10000),       NAMED(MIPS_AFL_EXT_SB1),
    NAMED(MIPS_AFL_EXT_4111),        NAMED(MIPS_AFL_EXT_4120),
    NAMED(MIPS_AFL_EXT_5400),        NAMED(MIPS_AFL_EXT_5500),
    NAMED(MIPS_AFL_EXT_LOONGSON_2E), NAMED(MIPS_AFL_EXT_LOONGSON_2F)};
static const named_value ases[] = {
    NAMED(MIPS_AFL_ASE_DSP), NAMED(MIPS_AFL_ASE_DSPR2),     NAMED(MIPS_AFL_ASE_EVA),
    NAMED(MIPS_AFL_ASE_MCU), NAMED(MIPS_AFL_ASE_MDMX),      NAMED(MIPS_AFL_ASE_MIPS3D),
    NAMED(MIPS_AFL_ASE_MT),  NAMED(MIPS_AFL_ASE_SMARTMIPS), NAMED(MIPS_AFL_ASE_VIRT),
    NAMED(MIPS_AFL_ASE_MSA), NAMED(MIPS_AFL_ASE_MIPS16),    NAMED(MIPS_AFL_ASE_MICROMIPS),
    NAMED(MIPS_AFL_ASE_XPA)};
static const named_value flags1[] = {NAMED(MIPS_AFL_FLAGS1_ODDSPREG)};
#undef NAMED
#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

static const char *value_name(const named_value *table, size_t count, uint32_t value)
{
    for (size_t i = 0; i < count; i++)
        if (table[i].value == value)
            return table[i].name;
    return NULL;
}

static void bit_names(json_writer *w, const char *key, const named_value *table, size_t count,
                      uint32_t mask)
{
    json_field_array(w, key);
    for (size_t i = 0; i < count; i++)
        if (mask & table[i].value)
            json_text(w, table[i].name);
    json_end(w);
}

static void abiflags_json(json_printer *printer, const mips_abiflags *f)
{
    json_writer *w = &printer->w;
    if (!printer->records)
        json_key(w, "mips_abiflags");
    json_record_begin(printer, "mips_abiflags");
    json_field_uint(w, "section", f->section);
    json_field_uint(w, "version", f->version);
    json_field_uint(w, "isa_level", f->isa_level);
    json_field_uint(w, "isa_rev", f->isa_rev);
    json_field_uint(w, "gpr_size", f->gpr_size);
    json_field_uint(w, "cpr1_size", f->cpr1_size);
    json_field_uint(w, "cpr2_size", f->cpr2_size);
    json_field_uint(w, "fp_abi", f->fp_abi);
    json_field_text(w, "fp_abi_name", value_name(fp_abis, COUNT(fp_abis), f->fp_abi));
    json_field_uint(w, "isa_ext", f->isa_ext);
    json_field_text(w, "isa_ext_name",
                    value_name(isa_extensions, COUNT(isa_extensions), f->isa_ext));
    json_field_uint(w, "ases", f->ases);
    bit_names(w, "ases_names", ases, COUNT(ases), f->ases);
    json_field_uint(w, "flags1", f->flags1);
    bit_names(w, "flags1_names", flags1, COUNT(flags1), f->flags1);
    json_field_uint(w, "flags2", f->flags2);
    json_record_end(printer);
}

/* ---- the MIPS GOT ------------------------------------------------------ */

typedef struct got_json {
    json_printer *printer;
    const mips_got *got;
} got_json;

static void got_entry_json(void *context, const mips_got_entry *entry)
{
    static const char *const kinds[] = {"lazy_resolver", "module_pointer", "reserved", "local",
                                        "global"};
    got_json *walk = context;
    json_writer *w = &walk->printer->w;
    uint64_t from = entry->address - walk->got->pltgot;
    json_record_begin(walk->printer, "mips_got_entry");
    json_field_text(w, "entry", kinds[entry->kind]);
    json_field_uint(w, "address", entry->address);
    if (from < 0xfff0)
        json_field_int(w, "gp_offset", (int64_t)from - 0x7ff0);
    else
        json_field_null(w, "gp_offset");
    if (entry->state == MIPS_GOT_VALUE) {
        json_field_uint(w, "value", entry->value);
    } else {
        json_field_null(w, "value");
        json_field_text(w, "value_error",
                        entry->state == MIPS_GOT_UNKNOWN ? "the table cannot be read"
                                                         : "the entry lies past the table");
    }
    if (entry->kind == MIPS_GOT_GLOBAL) {
        objlens_sym symbol;
        const char *problem = "no such dynamic symbol";
        const char *name = NULL;
        json_field_uint(w, "symbol", entry->symbol);
        if (walk->got->has_symbols && entry->symbol < walk->got->symbols.count &&
            symbol_table_get(&walk->got->symbols, walk->printer->image, (uint32_t)entry->symbol,
                             &symbol) == 0)
            name = string_table_find(&walk->got->symbols.names, objlens_sym_get_name_offs(&symbol),
                                     &problem);
        json_field_name(w, "name", name, problem);
    }
    json_record_end(walk->printer);
}

static void got_json_part(json_printer *printer, dump_image *image, const mips_got *got)
{
    json_writer *w = &printer->w;
    got_json walk = {printer, got};
    if (!printer->records)
        json_key(w, "mips_got");
    json_record_begin(printer, "mips_got");
    json_field_bool(w, "static", got->is_static);
    json_field_uint(w, "pltgot", got->pltgot);
    json_field_uint(w, "canonical_gp", got->pltgot + 0x7ff0);
    if (!got->is_static) {
        json_field_uint(w, "local_gotno", got->local_gotno);
        json_field_uint(w, "gotsym", got->gotsym);
        json_field_uint(w, "symtabno", got->symtabno);
    }
    if (printer->records)
        json_record_end(printer);
    else
        json_field_array(w, "entries");
    mips_got_walk(got, image, got_entry_json, &walk);
    if (!printer->records) {
        json_end(w);
        json_end(w);
    }
}

void json_arch_specific(void *printer, dump_image *image)
{
    mips_got got;
    attribute_json walk = {.printer = printer};
    mips_abiflags flags;
    json_part_begin(printer, "attributes");
    attributes_walk(image, attribute_event_json, &walk);
    close_scope(&walk);
    json_part_end(printer);
    if (attribute_family(image->machine) != EM_MIPS)
        return;
    if (mips_abiflags_read(image, &flags) == 1)
        abiflags_json(printer, &flags);
    if (mips_got_open(&got, image)) {
        got_json_part(printer, image, &got);
        mips_got_close(&got);
    }
}
