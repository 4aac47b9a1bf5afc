/* The setup stub's layout: three sections instead of the seven of the default script.

   Every section of an image is padded to the file alignment (512 bytes), and the headers
   of more than three sections no longer fit the first 512 bytes. The stub has no
   constructors, thread-local data, exports or relocations, and needs no unwind tables, so
   its image is:
     .text   code and constants, read-only and executable;
     .data   the import tables, the program's few writable bytes and the zeroed ones;
     .rsrc   the resources, last, where resource tools expect them;
   (.pdata, for x86-64 exception directories, stays a section of its own when a compiler
   emits one, since the linker finds that directory by the section's name).

   Used for the 32-bit stub (the shipped one) and the 64-bit one alike, so that the tests
   under Wine run this very layout. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
    *(.rdata)
    *(SORT(.rdata$*))
    *(.rdata.*)
    KEEP (*(.xdata*))
  }
  .data BLOCK(__section_alignment__) :
  {
    /* The import directory: the descriptors of .idata$2, ended by the five zero words,
       then the name lists, the address table (.idata$5) and the names. The linker looks
       the directories up by these symbol names (as addresses relative to the image base)
       when no section is called .idata. */
    ".idata$2" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    ".idata$4" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$4))
    ".idata$5" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$5))
    ".idata$6" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
    *(.data)
    *(.data2)
    *(SORT(.data$*))
    *(.data.*)
    *(.bss)
    *(.bss.*)
    *(COMMON)
  }
  .pdata BLOCK(__section_alignment__) :
  {
    KEEP (*(.pdata*))
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  /* Frame descriptions come only from two library helpers; nothing unwinds the stub. */
  /DISCARD/ :
  {
    *(.eh_frame*)
    *(.debug*)
    *(.zdebug*)
    *(.drectve)
    *(.note.GNU-stack)
    *(.gnu.lto_*)
  }
}
